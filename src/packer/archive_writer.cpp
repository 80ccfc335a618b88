#include "packer/archive_writer.hpp"

#include <stdexcept>

#include "format/archive_format.hpp"
#include "format/crc16.hpp"
#include "format/header_fields.hpp"
#include "format/little_endian.hpp"
#include "format/scrambling.hpp"
#include "packer/packer_namespace.hpp"

namespace quorvel::packer {
namespace {

void AppendHeaderString(std::vector<std::uint8_t>& out, const std::string& text) {
    if (text.find('\0') != std::string::npos)
        throw std::invalid_argument("header text must not contain a zero byte");
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

}  // namespace

std::vector<std::uint8_t> BuildHeader(const ArchiveOptions& options) {
    const auto* key = reinterpret_cast<const std::uint8_t*>(options.password.data());
    const std::uint16_t check = Crc16(key, options.password.size());
    const std::uint8_t flag = options.passwordFlag.value_or(static_cast<std::uint8_t>(1 + check % 255));
    if (!options.password.empty() && flag == 0)
        throw std::invalid_argument("a scrambled archive needs a non-zero password flag");
    std::vector<std::uint8_t> out;
    AppendLittleEndian(out, 0, kTotalSizeBytes);
    AppendHeaderString(out, options.comment);
    AppendHeaderString(out, options.runCommand);
    if (options.password.empty()) {
        out.push_back(0);
    } else {
        out.push_back(flag);
        AppendLittleEndian(out, check ^ PasswordCheckMask(flag), kPasswordCheckBytes);
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
    keyIndex_ = Scramble(block_.data(), block_.size(), password_.data(), password_.size(), keyIndex_);
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
    if (header.size() < kTotalSizeBytes) throw std::invalid_argument("a header holds its TotalSize in 4 bytes");
    if (totalSize > kSizeLimit) throw std::length_error("the archive would reach 2^31 bytes");
    StoreTotalSize(header.data(), static_cast<std::uint32_t>(totalSize));
}

ArchiveWriter::ArchiveWriter(std::span<const std::uint8_t> stub, const ArchiveOptions& options, Output output)
    : output_(std::move(output)),
      headerOffset_(stub.size()),
      header_(BuildHeader(options)),
      blocks_(options.password, [this](std::span<const std::uint8_t> block) { Write(block); }) {
    Write(stub);
    Write(header_);
}

void ArchiveWriter::Write(std::span<const std::uint8_t> bytes) {
    if (size_ + bytes.size() > kSizeLimit) throw std::length_error("the archive would reach 2^31 bytes");
    output_.write(bytes);
    size_ += bytes.size();
}

void ArchiveWriter::Finish() {
    blocks_.Finish();
    PatchTotalSize(header_, size_);
    output_.writeAt(headerOffset_, std::span<const std::uint8_t>(header_).first(kTotalSizeBytes));
}

std::vector<std::uint8_t> BuildArchive(const ArchiveOptions& options,
                                       std::span<const std::uint8_t> payload) {
    std::vector<std::uint8_t> out = BuildHeader(options);
    const std::vector<std::uint8_t> blocks = BuildBlockStream(payload, options.password);
    out.insert(out.end(), blocks.begin(), blocks.end());
    PatchTotalSize(out, StubSize + static_cast<std::uint64_t>(out.size()));
    return out;
}

}  // namespace quorvel::packer
