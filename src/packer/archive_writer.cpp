#include "packer/archive_writer.hpp"

#include <algorithm>
#include <stdexcept>

#include "archive/archive_format.hpp"
#include "archive/crc16.hpp"

namespace quorvel {
namespace {

void AppendLittleEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void AppendHeaderString(std::vector<std::uint8_t>& out, const std::string& text) {
    if (text.find('\0') != std::string::npos)
        throw std::invalid_argument("header text must not contain a zero byte");
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

}  // namespace

std::vector<std::uint8_t> BuildBlockStream(std::span<const std::uint8_t> payload,
                                           const std::string& password) {
    std::vector<std::uint8_t> out;
    out.reserve(payload.size() + 2 * (payload.size() / kBlockDataSize + 1));
    std::size_t key = 0;
    for (std::size_t start = 0; start < payload.size(); start += kBlockDataSize) {
        const auto block = payload.subspan(start, std::min<std::size_t>(kBlockDataSize, payload.size() - start));
        for (std::uint8_t byte : block) {
            if (!password.empty()) {
                byte ^= static_cast<std::uint8_t>(password[key]);
                key = key + 1 == password.size() ? 0 : key + 1;
            }
            out.push_back(byte);
        }
        const std::uint16_t check = Crc16(block.data(), block.size());
        out.push_back(static_cast<std::uint8_t>(check >> 8));
        out.push_back(static_cast<std::uint8_t>(check));
    }
    return out;
}

std::vector<std::uint8_t> BuildArchive(const ArchiveOptions& options,
                                       std::span<const std::uint8_t> payload) {
    if (!options.password.empty() && options.passwordFlag == 0)
        throw std::invalid_argument("a scrambled archive needs a non-zero password flag");
    std::vector<std::uint8_t> out;
    AppendLittleEndian(out, 0, 4);
    AppendHeaderString(out, options.comment);
    AppendHeaderString(out, options.runCommand);
    if (options.password.empty()) {
        out.push_back(0);
    } else {
        const auto* key = reinterpret_cast<const std::uint8_t*>(options.password.data());
        const std::uint16_t check = Crc16(key, options.password.size());
        out.push_back(options.passwordFlag);
        AppendLittleEndian(out, check ^ (options.passwordFlag * 0x0101u), 2);
    }
    const std::vector<std::uint8_t> blocks = BuildBlockStream(payload, options.password);
    out.insert(out.end(), blocks.begin(), blocks.end());
    const std::uint64_t total = StubSize + static_cast<std::uint64_t>(out.size());
    if (total > 0x7FFFFFFF) throw std::length_error("the archive would reach 2^31 bytes");
    for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(total >> (8 * i));
    return out;
}

}  // namespace quorvel
