// A block of the payload as stored: its data bytes XOR-ed with the password, one character
// a byte, the characters running on from block to block; then its check, the Crc16 of the
// data before scrambling, which is not scrambled. A key of no characters leaves the data as
// it is.
#pragma once

#include <cstddef>
#include <cstdint>

#include "format/crc16.hpp"

namespace quorvel::format {

// XOR-s n data bytes with the key from key[keyIndex] on, both ways; returns the index the
// next data byte takes.
constexpr std::size_t Scramble(std::uint8_t* data, std::size_t n, const char* key, std::size_t keyLength,
                               std::size_t keyIndex) {
    if (keyLength == 0) return keyIndex;
    for (std::size_t i = 0; i < n; ++i) {
        data[i] ^= static_cast<std::uint8_t>(key[keyIndex]);
        keyIndex = keyIndex + 1 == keyLength ? 0 : keyIndex + 1;
    }
    return keyIndex;
}

// Descrambles a stored block of `count` bytes, its two check bytes included, and tells
// whether it is intact; keyIndex moves on past its data bytes.
constexpr bool OpenBlock(const Crc16Tables& tables, std::uint8_t* block, std::size_t count, const char* key,
                         std::size_t keyLength, std::size_t& keyIndex) {
    keyIndex = Scramble(block, count > 2 ? count - 2 : 0, key, keyLength, keyIndex);
    return BlockCheckMatches(tables, block, count);
}

}  // namespace quorvel::format
