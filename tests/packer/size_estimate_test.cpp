#include "packer/size_estimate.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "packer/item_encoder.hpp"
#include "support/parts.hpp"

namespace quorvel {
namespace {

TEST(SizeEstimateTest, EverySymbolCostsItsRunningShare) {
    // All 512 symbols of each tree start with a count of one: 9 bits each at first.
    EXPECT_DOUBLE_EQ(EstimatedBits(std::vector<Item>{LiteralItem('a')}), 9);
    EXPECT_DOUBLE_EQ(EstimatedBits(std::vector<Item>{MatchItem(2, 1)}), 9 + 9 + 4);
    EXPECT_DOUBLE_EQ(EstimatedBits(std::vector<Item>{MatchItem(300, 8192)}), 9 + 12 + 9 + 4);
    // The second 'a' finds 2 of 513, the 'b' then 1 of 514.
    EXPECT_DOUBLE_EQ(EstimatedBits(std::vector<Item>{LiteralItem('a'), LiteralItem('a'), LiteralItem('b')}),
                     9 + std::log2(513.0 / 2) + std::log2(514.0));
    // Distances are counted apart from the symbols: the second distance symbol 0 finds 2 of 513.
    EXPECT_DOUBLE_EQ(EstimatedBits(std::vector<Item>{MatchItem(3, 5), MatchItem(3, 16)}),
                     22 + std::log2(513.0 / 2) + std::log2(513.0 / 2) + 4);
}

// The estimate follows what the encoder writes closely enough to rank ways of coding the
// same bytes; the trees' codes lag behind the counts and are whole bits, so it runs a
// little below.
TEST(SizeEstimateTest, StaysCloseToTheEncodedSize) {
    std::vector<Item> items;
    for (int i = 0; i < 6000; ++i)
        items.push_back(i % 3 == 0 ? MatchItem(3 + i % 7, 1 + i % 500) : LiteralItem(static_cast<std::uint8_t>("etaoin"[i % 6])));
    const double encodedBits = 8.0 * EncodeItems(items).size();
    EXPECT_NEAR(EstimatedBits(items), encodedBits, encodedBits * 0.06);
}

}  // namespace
}  // namespace quorvel
