#include "packer/item_encoder.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "support/bit_strings.hpp"
#include "support/parts.hpp"

namespace quorvel {
namespace {

using testing::UnpackBits;

// The first-build code of a symbol: its number XOR 170 in 9 bits, highest bit first.
std::string FirstCode(std::uint32_t symbol) {
    std::string bits;
    for (int bit = 8; bit >= 0; --bit) bits += ((symbol ^ 170) >> bit & 1) ? '1' : '0';
    return bits;
}

std::string EncodedBits(std::vector<Item> items, std::size_t count) {
    std::vector<std::uint8_t> bytes = EncodeItems(items);
    EXPECT_EQ(bytes.size(), (count + 7) / 8);
    return UnpackBits(bytes, count);
}

TEST(ItemEncoderTest, AbababAndAb) {
    std::vector<Item> ababab{LiteralItem('A'), LiteralItem('B'), MatchItem(4, 2)};
    EXPECT_EQ(EncodeItems(ababab), (std::vector<std::uint8_t>{0xAE, 0x5D, 0xAC, 0x50, 0x15}));
    std::vector<Item> ab{LiteralItem('A'), LiteralItem('B')};
    EXPECT_EQ(EncodeItems(ab), (std::vector<std::uint8_t>{0xAE, 0x5D, 0x00}));
    EXPECT_EQ(EncodeItems(std::vector<Item>{MatchItem(2, 2)}), (std::vector<std::uint8_t>{0xAB, 0x54, 0x05}));
}

TEST(ItemEncoderTest, LongLengthsCarryTwelveExtraBits) {
    std::string literal = FirstCode('x');
    std::string nearest = FirstCode(0) + "0000";
    EXPECT_EQ(EncodedBits({LiteralItem('x'), MatchItem(300, 1)}, 9 + 9 + 12 + 13),
              literal + FirstCode(511) + "110101000000" + nearest);
    EXPECT_EQ(EncodedBits({LiteralItem('x'), MatchItem(4352, 1)}, 9 + 9 + 12 + 13),
              literal + FirstCode(511) + "111111111111" + nearest);
    EXPECT_EQ(EncodedBits({LiteralItem('x'), MatchItem(257, 1)}, 9 + 9 + 12 + 13),
              literal + FirstCode(511) + "000000000000" + nearest);
    EXPECT_EQ(EncodedBits({LiteralItem('x'), MatchItem(256, 1)}, 9 + 9 + 13), literal + FirstCode(510) + nearest);
}

TEST(ItemEncoderTest, DistancesAreASymbolAndFourLowBits) {
    EXPECT_EQ(EncodedBits({MatchItem(2, 1000)}, 9 + 9 + 4), FirstCode(256) + FirstCode(62) + "1110");
    EXPECT_EQ(EncodedBits({MatchItem(2, 8192)}, 9 + 9 + 4), FirstCode(256) + FirstCode(511) + "1111");
    EXPECT_EQ(EncodedBits({MatchItem(2, 17)}, 9 + 9 + 4), FirstCode(256) + FirstCode(1) + "0000");
}

TEST(ItemEncoderTest, RefusesWhatTheFormatCannotExpress) {
    EXPECT_THROW(MatchItem(1, 1), std::invalid_argument);
    EXPECT_THROW(MatchItem(4353, 1), std::invalid_argument);
    EXPECT_THROW(MatchItem(3, 0), std::invalid_argument);
    EXPECT_THROW(MatchItem(3, 8193), std::invalid_argument);
    Item forged{5000, 1, 0};
    EXPECT_THROW(EncodeItems(std::vector<Item>{forged}), std::invalid_argument);
}

}  // namespace
}  // namespace quorvel
