// CRC-16 with polynomial 0x8005, initial value 0, no reflection, no final XOR, kept in the
// augmented form: the register takes the message bits in at its low end, so a message
// followed by its own check (high byte first) leaves the register at 0.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quorvel {

// One byte through the register, most significant bit first. Bits 16 and up stay 0.
constexpr std::uint32_t Crc16Update(std::uint32_t crcRegister, std::uint8_t byte) {
    for (int n = 7; n >= 0; --n) {
        crcRegister = crcRegister * 2 + ((byte >> n) & 1u);
        if (crcRegister & 0x10000u) crcRegister ^= 0x18005u;
    }
    return crcRegister;
}

// The register after one more byte, a whole byte at a time: the register's high byte,
// shifted out, comes back as its remainder by the polynomial; the low byte and the new byte
// move up unchanged. Gives the same register as Crc16Update.
struct Crc16Table {
    std::uint16_t remainders[256];
};

constexpr Crc16Table MakeCrc16Table() {
    Crc16Table table{};
    for (std::uint32_t i = 0; i < 256; ++i) table.remainders[i] = static_cast<std::uint16_t>(Crc16Update(i << 8, 0));
    return table;
}

inline constexpr Crc16Table kCrc16Table = MakeCrc16Table();

constexpr std::uint32_t Crc16UpdateByTable(std::uint32_t crcRegister, std::uint8_t byte) {
    return kCrc16Table.remainders[crcRegister >> 8] ^ ((crcRegister & 0xFFu) << 8 | byte);
}

// Checking a whole block two bytes at a time. In the standard form the register holds the
// check value of the bytes so far (the augmented register after them and two zero bytes):
// a byte b takes it to (crc << 8) ^ remainder((crc >> 8) ^ b), and two bytes at once to
// pair[(crc ^ b0 b1) >> 8] ^ remainder((crc ^ b0 b1) & 0xFF). It ends at 0 after a message
// followed by its own check exactly when the augmented register does, since the polynomial's
// constant term is 1.
struct Crc16PairTable {
    std::uint16_t pair[256];
};

constexpr Crc16PairTable MakeCrc16PairTable() {
    Crc16PairTable table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        const std::uint32_t once = kCrc16Table.remainders[i];
        table.pair[i] = static_cast<std::uint16_t>(((once & 0xFFu) << 8) ^ kCrc16Table.remainders[once >> 8]);
    }
    return table;
}

inline constexpr Crc16PairTable kCrc16PairTable = MakeCrc16PairTable();

// True when the bytes, a block's data followed by its two check bytes, are intact.
constexpr bool BlockCheckMatches(const std::uint8_t* bytes, std::size_t n) {
    std::uint32_t crc = 0;
    std::size_t i = 0;
    for (; i + 1 < n; i += 2) {
        const std::uint32_t both = crc ^ (static_cast<std::uint32_t>(bytes[i]) << 8 | bytes[i + 1]);
        crc = kCrc16PairTable.pair[both >> 8] ^ kCrc16Table.remainders[both & 0xFFu];
    }
    if (i < n) crc = ((crc << 8) & 0xFFFFu) ^ kCrc16Table.remainders[(crc >> 8) ^ bytes[i]];
    return crc == 0;
}

// The check value of a message: the register after the message and two zero bytes.
constexpr std::uint16_t Crc16(const std::uint8_t* bytes, std::size_t n) {
    std::uint32_t crcRegister = 0;
    for (std::size_t i = 0; i < n; ++i) crcRegister = Crc16UpdateByTable(crcRegister, bytes[i]);
    crcRegister = Crc16Update(crcRegister, 0);
    return static_cast<std::uint16_t>(Crc16Update(crcRegister, 0));
}

}  // namespace quorvel
