#include "packer/archive_writer.hpp"

#include <stdexcept>

#include "format/archive_format.hpp"
#include "format/crc16.hpp"
#include "format/little_endian.hpp"

namespace quorvel {
namespace {

void AppendHeaderString(std::vector<std::uint8_t>& out, const std::string& text) {
    if (text.find('\0') != std::string::npos)
        throw std::invalid_argument("header text must not contain a zero byte");
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

}  // namespace

std::vector<std::uint8_t> BuildHeader(const ArchiveOptions& options) {
    if (!options.password.empty() && options.passwordFlag == 0)
        throw std::invalid_argument("a scrambled archive needs a non-zero password flag");
    std::vector<std::uint8_t> out;
    AppendLittleEndian(out, 0, kTotalSizeBytes);
    AppendHeaderString(out, options.comment);
    AppendHeaderString(out, options.runCommand);
    if (options.password.empty()) {
        out.push_back(0);
    } else {
        const auto* key = reinterpret_cast<const std::uint8_t*>(options.password.data());
        const std::uint16_t check = Crc16(key, options.password.size());
        out.push_back(options.passwordFlag);
        AppendLittleEndian(out, check ^ PasswordCheckMask(options.passwordFlag), 2);
    }
    return out;
}

BlockStreamWriter::BlockStreamWriter(std::string password, Sink sink)
    : password_(std::move(password)), sink_(std::move(sink)) {
    block_.reserve(kBlockSize);
}

void BlockStreamWriter::Append(std::span<const std::uint8_t> payload) {
    for (std::uint8_t byte : payload) {
        block_.push_back(byte);
        if (block_.size() == kBlockDataSize) WriteBlock();
    }
}

void BlockStreamWriter::Finish() {
    if (written_ == 0 && block_.empty()) throw std::invalid_argument("an archive needs at least one entry");
    if (!block_.empty()) WriteBlock();
}

void BlockStreamWriter::WriteBlock() {
    const std::uint16_t check = Crc16(block_.data(), block_.size());
    if (!password_.empty()) {
        for (std::uint8_t& byte : block_) {
            byte ^= static_cast<std::uint8_t>(password_[keyIndex_]);
            keyIndex_ = keyIndex_ + 1 == password_.size() ? 0 : keyIndex_ + 1;
        }
    }
    block_.push_back(static_cast<std::uint8_t>(check >> 8));
    block_.push_back(static_cast<std::uint8_t>(check));
    sink_(block_);
    written_ += block_.size();
    block_.clear();
}

std::vector<std::uint8_t> BuildBlockStream(std::span<const std::uint8_t> payload,
                                           const std::string& password) {
    std::vector<std::uint8_t> out;
    out.reserve(payload.size() + 2 * (payload.size() / kBlockDataSize + 1));
    BlockStreamWriter writer(password, [&](std::span<const std::uint8_t> block) {
        out.insert(out.end(), block.begin(), block.end());
    });
    writer.Append(payload);
    if (!payload.empty()) writer.Finish();
    return out;
}

void PatchTotalSize(std::span<std::uint8_t> header, std::uint64_t totalSize) {
    if (totalSize > kSizeLimit) throw std::length_error("the archive would reach 2^31 bytes");
    for (int i = 0; i < 4; ++i) header[i] = static_cast<std::uint8_t>(totalSize >> (8 * i));
}

std::vector<std::uint8_t> BuildArchive(const ArchiveOptions& options,
                                       std::span<const std::uint8_t> payload) {
    std::vector<std::uint8_t> out = BuildHeader(options);
    const std::vector<std::uint8_t> blocks = BuildBlockStream(payload, options.password);
    out.insert(out.end(), blocks.begin(), blocks.end());
    PatchTotalSize(out, StubSize + static_cast<std::uint64_t>(out.size()));
    return out;
}

}  // namespace quorvel
