// Little-endian integers, as the archive stores every number but the block checks.
#pragma once

#include <cstdint>
#include <vector>

namespace quorvel::format {

// The value of `count` bytes, least significant first.
constexpr std::uint64_t LoadLittleEndian(const std::uint8_t* bytes, unsigned count) {
    std::uint64_t value = 0;
    for (unsigned i = 0; i < count; ++i) value |= static_cast<std::uint64_t>(bytes[i]) << (8 * i);
    return value;
}

inline void AppendLittleEndian(std::vector<std::uint8_t>& out, std::uint64_t value, unsigned count) {
    for (unsigned i = 0; i < count; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace quorvel::format
