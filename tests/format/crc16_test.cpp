#include "format/crc16.hpp"
#include "support/parts.hpp"

#include <gtest/gtest.h>

#include <vector>

#include <string_view>

namespace quorvel {
namespace {

const std::uint8_t* Bytes(std::string_view text) { return reinterpret_cast<const std::uint8_t*>(text.data()); }

std::uint32_t Register(std::string_view text) {
    std::uint32_t crcRegister = 0;
    for (char c : text) crcRegister = Crc16Update(crcRegister, static_cast<std::uint8_t>(c));
    return crcRegister;
}

TEST(Crc16, MatchesTheCatalogueCheckValue) { EXPECT_EQ(Crc16(Bytes("123456789"), 9), 0xFEE8); }

TEST(Crc16, RegisterBeforeAndAfterTheTwoZeroBytes) {
    EXPECT_EQ(Register("abc"), 0xE326u);
    EXPECT_EQ(Register(std::string_view("abc\0\0", 5)), 0xCADBu);
    EXPECT_EQ(Crc16(Bytes("abc"), 3), 0xCADB);
}

TEST(Crc16, MessageFollowedByItsCheckLeavesZero) {
    EXPECT_EQ(Register("abc\xCA\xDB"), 0u);
    EXPECT_NE(Register("abd\xCA\xDB"), 0u);
}

// Four bytes at a time and then byte by byte: the check value of every length of message is
// the bitwise register after it and two zero bytes, with the tables made at compile time or
// filled at run time as the Expander fills them.
TEST(Crc16, TableCheckValueMatchesBitwise) {
    Crc16Tables filled{};
    FillCrc16Tables(filled);
    std::vector<std::uint8_t> message;
    std::uint32_t bitwise = 0;
    for (std::uint32_t i = 0; i < 3000; ++i) {
        const auto byte = static_cast<std::uint8_t>((i * 2654435761u) >> 13);
        message.push_back(byte);
        bitwise = Crc16Update(bitwise, byte);
        const std::uint32_t expected = Crc16Update(Crc16Update(bitwise, 0), 0);
        ASSERT_EQ(Crc16(message.data(), message.size()), expected) << "length " << message.size();
        ASSERT_EQ(Crc16(filled, message.data(), message.size()), expected) << "length " << message.size();
    }
}

// The block check agrees with the bitwise register on blocks of every
// parity and length, intact or with a check that is off.
TEST(Crc16, BlockCheckAgreesWithTheBitwiseRegister) {
    std::vector<std::uint8_t> block;
    for (std::uint32_t n = 0; n < 700; ++n) {
        block.push_back(static_cast<std::uint8_t>((n * 2654435761u) >> 11));
        const std::uint16_t check = Crc16(block.data(), block.size());
        for (std::uint16_t offset : {0, 1, 0x100, 0x8005}) {
            std::vector<std::uint8_t> withCheck = block;
            withCheck.push_back(static_cast<std::uint8_t>((check ^ offset) >> 8));
            withCheck.push_back(static_cast<std::uint8_t>(check ^ offset));
            std::uint32_t bitwise = 0;
            for (std::uint8_t byte : withCheck) bitwise = Crc16Update(bitwise, byte);
            ASSERT_EQ(BlockCheckMatches(withCheck.data(), withCheck.size()), bitwise == 0) << n << " " << offset;
            ASSERT_EQ(bitwise == 0, offset == 0);
        }
    }
}

TEST(Crc16, RegisterStaysWithinSixteenBits) {
    std::uint32_t crcRegister = 0;
    for (int i = 0; i < 100000; ++i) {
        crcRegister = Crc16Update(crcRegister, static_cast<std::uint8_t>(i * 37));
        ASSERT_LT(crcRegister, 0x10000u);
    }
}

}  // namespace
}  // namespace quorvel
