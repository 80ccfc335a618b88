// Bits written as text ("0110..."), in reading order: bit 0 of the first byte first.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quorvel::testing {

inline std::vector<std::uint8_t> PackBits(const std::string& bits) {
    std::vector<std::uint8_t> bytes((bits.size() + 7) / 8);
    for (std::size_t i = 0; i < bits.size(); ++i)
        if (bits[i] == '1') bytes[i / 8] |= static_cast<std::uint8_t>(1u << (i % 8));
    return bytes;
}

inline std::string UnpackBits(std::span<const std::uint8_t> bytes, std::size_t count) {
    std::string bits;
    for (std::size_t i = 0; i < count; ++i) bits += (bytes[i / 8] >> (i % 8) & 1) ? '1' : '0';
    return bits;
}

}  // namespace quorvel::testing
