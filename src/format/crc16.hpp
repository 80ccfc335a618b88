// CRC-16 with polynomial 0x8005, initial value 0, no reflection, no final XOR, kept in the
// augmented form: the register takes the message bits in at its low end, so a message
// followed by its own check (high byte first) leaves the register at 0.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quorvel::format {

// One byte through the register, most significant bit first. Bits 16 and up stay 0.
constexpr std::uint32_t Crc16Update(std::uint32_t crcRegister, std::uint8_t byte) {
    for (int n = 7; n >= 0; --n) {
        crcRegister = crcRegister * 2 + ((byte >> n) & 1u);
        if (crcRegister & 0x10000u) crcRegister ^= 0x18005u;
    }
    return crcRegister;
}

// Remainder tables for the standard form, in which the register holds the check value of
// the bytes so far (the augmented register after them and two zero bytes): afterZeros[k][b]
// is the check value of byte b followed by k zero bytes. A byte b takes the register to
// (crc << 8) ^ afterZeros[0][(crc >> 8) ^ b]; the check value being linear in the bytes, four
// bytes at once take it to the sum of each byte's own check value after the ones behind it.
struct Crc16Tables {
    std::uint16_t afterZeros[4][256];
};

constexpr void FillCrc16Tables(Crc16Tables& tables) {
    for (std::uint32_t b = 0; b < 256; ++b)
        tables.afterZeros[0][b] = static_cast<std::uint16_t>(Crc16Update(b << 8, 0));
    for (std::uint32_t k = 1; k < 4; ++k) {
        for (std::uint32_t b = 0; b < 256; ++b) {
            const std::uint32_t before = tables.afterZeros[k - 1][b];
            tables.afterZeros[k][b] =
                static_cast<std::uint16_t>(((before & 0xFFu) << 8) ^ tables.afterZeros[0][before >> 8]);
        }
    }
}

constexpr Crc16Tables MakeCrc16Tables() {
    Crc16Tables tables{};
    FillCrc16Tables(tables);
    return tables;
}

// The check value of a message: the register after the message and two zero bytes.
constexpr std::uint16_t Crc16(const Crc16Tables& tables, const std::uint8_t* bytes, std::size_t n) {
    std::uint32_t crc = 0;
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const std::uint32_t front = crc ^ (static_cast<std::uint32_t>(bytes[i]) << 8 | bytes[i + 1]);
        crc = tables.afterZeros[3][front >> 8] ^ tables.afterZeros[2][front & 0xFFu] ^
              tables.afterZeros[1][bytes[i + 2]] ^ tables.afterZeros[0][bytes[i + 3]];
    }
    for (; i < n; ++i) crc = ((crc << 8) & 0xFFFFu) ^ tables.afterZeros[0][(crc >> 8) ^ bytes[i]];
    return static_cast<std::uint16_t>(crc);
}

// True when the bytes, a block's data followed by its two check bytes, are intact: the check
// value of a message followed by its own check is 0, as the polynomial's constant term is 1.
constexpr bool BlockCheckMatches(const Crc16Tables& tables, const std::uint8_t* bytes, std::size_t n) {
    return Crc16(tables, bytes, n) == 0;
}

// The tables for programs whose size does not matter; the Expander fills its own at run time.
inline constexpr Crc16Tables kCrc16Tables = MakeCrc16Tables();

constexpr std::uint16_t Crc16(const std::uint8_t* bytes, std::size_t n) { return Crc16(kCrc16Tables, bytes, n); }

constexpr bool BlockCheckMatches(const std::uint8_t* bytes, std::size_t n) {
    return BlockCheckMatches(kCrc16Tables, bytes, n);
}

}  // namespace quorvel::format
