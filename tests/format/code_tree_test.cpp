#include "decoder/decoder_storage.hpp"
#include "format/code_tree.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "decoder/decode_symbol.hpp"
#include "packer/symbol_codes.hpp"
#include "support/bit_strings.hpp"
#include "support/memory_host.hpp"
#include "support/parts.hpp"

namespace quorvel {
namespace {

using testing::PackBits;

// Position of the symbol's leaf in the sorted leaf list of the last build.
std::uint32_t SortRank(const AdaptiveCodeTree& tree, std::uint32_t symbol) {
    const std::uint16_t* order = tree.LeafOrder;
    return static_cast<std::uint32_t>(std::find(order, order + kSymbolCount, symbol) - order);
}

// The build exactly as described in words: a list of node references, a bubble sort with
// a moving front limit, and each new node put at the end and moved towards the front past
// every entry with a strictly smaller count.
struct ReferenceTree {
    std::array<std::uint32_t, kSymbolCount> sortRank;
    std::array<std::uint32_t, kNodeCount> count{};
    std::array<std::array<std::uint32_t, 2>, kNodeCount> child{};

    ReferenceTree() {
        for (std::uint32_t s = 0; s < kSymbolCount; ++s) sortRank[s] = s;
    }

    void Build(const std::uint32_t* counts) {
        std::vector<std::uint32_t> list(kSymbolCount);
        for (std::uint32_t s = 0; s < kSymbolCount; ++s) {
            count[s] = counts[s];
            list[sortRank[s]] = s;
        }
        for (std::uint32_t front = 0;;) {
            int smallestExchange = -1;
            for (int j = 510; j >= static_cast<int>(front); --j) {
                if (count[list[j]] < count[list[j + 1]]) {
                    std::swap(list[j], list[j + 1]);
                    smallestExchange = j;
                }
            }
            if (smallestExchange < 0) break;
            front = static_cast<std::uint32_t>(smallestExchange) + 1;
        }
        for (std::uint32_t k = 0; k < kSymbolCount; ++k) sortRank[list[k]] = k;
        for (std::uint32_t node = kFirstInnerNode; node < kNodeCount; ++node) {
            std::uint32_t x = list[list.size() - 2], y = list.back();
            list.resize(list.size() - 2);
            count[node] = count[x] + count[y];
            child[node] = {x, y};
            list.push_back(node);
            for (std::size_t i = list.size() - 1; i > 0 && count[list[i - 1]] < count[node]; --i)
                std::swap(list[i - 1], list[i]);
        }
    }
};

class CodeTreeTest : public ::testing::Test {
protected:
    void SetUp() override { ResetTree(*tree); }

    void Rebuild() {
        RebuildTree(*tree);
        DeriveCodes(*tree, codes);
    }

    std::string CodeOf(std::uint32_t symbol) const {
        std::string bits;
        for (std::uint32_t i = 0; i < codes[symbol].Length; ++i) bits += (codes[symbol].Bits >> i & 1) ? '1' : '0';
        return bits;
    }

    // Decodes one symbol from the bit string; bitsUsed tells how many bits it took.
    std::uint32_t Decode(const std::string& bits, std::size_t bufferSize = 4096) {
        std::vector<std::uint8_t> bytes = PackBits(bits);
        MemoryHost host(bytes, bufferSize);
        BitReader reader{};
        std::uint32_t symbol = DecodeSymbol(*tree, reader, host);
        bitsUsed = host.Position() * 8 - reader.BitsHeld;
        return symbol;
    }

    void ExpectSameAs(const ReferenceTree& reference) const {
        for (std::uint32_t s = 0; s < kSymbolCount; ++s) ASSERT_EQ(SortRank(*tree, s), reference.sortRank[s]) << s;
        for (std::uint32_t node = kFirstInnerNode; node < kNodeCount; ++node) {
            ASSERT_EQ(tree->Nodes[node].Count, reference.count[node]) << node;
            ASSERT_EQ(tree->Nodes[node].Child[0], reference.child[node][0]) << node;
            ASSERT_EQ(tree->Nodes[node].Child[1], reference.child[node][1]) << node;
        }
        // Each table entry: where its bits (first bit in bit 0) lead in the reference tree,
        // and how many of them that takes.
        for (std::uint32_t entry = 0; entry < kTableSize; ++entry) {
            std::uint32_t node = kRootNode, length = 0;
            for (; length < kTableBits && node >= kFirstInnerNode; ++length) node = reference.child[node][entry >> length & 1];
            ASSERT_EQ(tree->Table[entry], node | length << kTableLengthShift) << entry;
        }
    }

    std::unique_ptr<AdaptiveCodeTree> tree = std::make_unique<AdaptiveCodeTree>();
    SymbolCodes codes{};
    std::size_t bitsUsed = 0;
};

TEST_F(CodeTreeTest, FirstBuildGivesEverySymbolANineBitCodeOfItsNumberXor170) {
    Rebuild();
    for (std::uint32_t s = 0; s < kSymbolCount; ++s) {
        std::string expected;
        for (int bit = 8; bit >= 0; --bit) expected += ((s ^ 170) >> bit & 1) ? '1' : '0';
        ASSERT_EQ(CodeOf(s), expected) << s;
    }
    EXPECT_EQ(Decode("010101010"), 0u);
    EXPECT_EQ(Decode("010101011"), 1u);
    EXPECT_EQ(Decode("011101011"), 65u);
    EXPECT_EQ(Decode("110101010"), 256u);
    EXPECT_EQ(Decode("101010101"), 511u);
    EXPECT_EQ(bitsUsed, 9u);
}

TEST_F(CodeTreeTest, BuildWithThreeFrequentSymbols) {
    tree->Counts[65] = 300;
    tree->Counts[32] = 200;
    tree->Counts[256] = 100;
    Rebuild();
    EXPECT_EQ(CodeOf(65), "01");
    EXPECT_EQ(CodeOf(32), "000");
    EXPECT_EQ(CodeOf(256), "111");
    EXPECT_EQ(CodeOf(0), "110111101");
    EXPECT_EQ(CodeOf(511), "110111111");
    EXPECT_EQ(CodeOf(1), "1101111000");
    std::array<int, 64> lengths{};
    for (const SymbolCode& code : codes) ++lengths[code.Length];
    EXPECT_EQ(lengths[2], 1);
    EXPECT_EQ(lengths[3], 2);
    EXPECT_EQ(lengths[9], 3);
    EXPECT_EQ(lengths[10], 506);
    EXPECT_EQ(CodeOf(510).size(), 9u);
    EXPECT_EQ(SortRank(*tree, 65), 0u);
    EXPECT_EQ(SortRank(*tree, 32), 1u);
    EXPECT_EQ(SortRank(*tree, 256), 2u);
    EXPECT_EQ(SortRank(*tree, 0), 3u);
    EXPECT_EQ(SortRank(*tree, 1), 4u);
    EXPECT_EQ(SortRank(*tree, 33), 35u);
    EXPECT_EQ(SortRank(*tree, 511), 511u);
    EXPECT_EQ(Decode("01"), 65u);
    EXPECT_EQ(bitsUsed, 2u);
    EXPECT_EQ(Decode("1101111000"), 1u);
    EXPECT_EQ(bitsUsed, 10u);
}

TEST_F(CodeTreeTest, OrderOfEqualCountsCarriesOverFromThePreviousBuild) {
    tree->Counts[98] = 7;
    tree->Counts[97] = 3;
    Rebuild();
    tree->Counts[97] = 7;
    Rebuild();
    EXPECT_EQ(SortRank(*tree, 98), 0u);
    EXPECT_EQ(SortRank(*tree, 97), 1u);
    // The same counts once more give the very same tree.
    AdaptiveCodeTree before = *tree;
    RebuildTree(*tree);
    EXPECT_EQ(std::memcmp(&before, tree.get(), sizeof before), 0);
}

TEST_F(CodeTreeTest, NewNodeStandsBehindLeavesOfEqualCountAndIsCombinedFirst) {
    // Leaves 0 and 1 have count 2, the other 510 count 1: the 255 nodes of count 2 made
    // from those go behind leaves 0 and 1, so leaf 1 is joined with the oldest of them.
    tree->Counts[0] = 2;
    tree->Counts[1] = 2;
    Rebuild();
    EXPECT_EQ(tree->Nodes[894].Child[0], 1);
    EXPECT_EQ(tree->Nodes[894].Child[1], 512);
    EXPECT_EQ(tree->Nodes[895].Child[0], 894);
    EXPECT_EQ(tree->Nodes[895].Child[1], 0);
}

// Count vectors of many shapes, each followed by several rebuilds with counts added, so
// that ranks and ties carry over from build to build.
TEST_F(CodeTreeTest, LinearCombineBuildsTheSameTreesAsTheLiteralAlgorithm) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 80; ++round) {
        ResetTree(*tree);
        ReferenceTree reference;
        std::uint32_t shape = round % 8;
        for (int build = 0; build < 8; ++build) {
            for (std::uint32_t s = 0; s < kSymbolCount; ++s) {
                std::uint32_t add = 0;
                switch (shape) {
                case 0: add = random() % 3; break;                                   // many ties
                case 1: add = random() % 2 ? 0 : random() % 1000; break;             // sparse
                case 2: add = (random() % 64 == 0) ? random() % (1u << 21) : 0; break;  // huge counts
                case 3: add = s % 7 == static_cast<std::uint32_t>(build) ? 5 : 0; break;                       // equal groups
                case 4: add = random() % (s + 1); break;                              // skewed
                case 5: add = (random() % 4 == 0) ? 1u << (random() % 12) : 0; break;  // powers of two
                default: break;
                }
                tree->Counts[s] += add;
            }
            // A decoder's history: 256 symbols between early builds, 1024 later, drawn from
            // a few frequent symbols and many rare ones.
            for (std::uint32_t hits = 0; shape >= 6 && hits < (build < 4 ? 256u : 1024u); ++hits) {
                const std::uint32_t draw = random() % 1000;
                tree->Counts[draw < 700 ? draw % (shape == 6 ? 12 : 60) : random() % kSymbolCount] += 1;
            }
            RebuildTree(*tree);
            reference.Build(tree->Counts);
            ASSERT_NO_FATAL_FAILURE(ExpectSameAs(reference)) << "round " << round << " build " << build;
        }
    }
}

TEST_F(CodeTreeTest, LongCodesDecodeThroughTheTableAndTheWalk) {
    // Counts growing like Fibonacci numbers from the weight of all the count-1 leaves
    // together make a chain: a tree about 40 levels deep, its count still below 2^31.
    std::uint32_t a = 512, b = 512;
    for (std::uint32_t s = 0; s < 30; ++s) {
        tree->Counts[s] = a;
        std::uint32_t next = a + b;
        a = b;
        b = next;
    }
    Rebuild();
    std::uint32_t longest = 0;
    for (const SymbolCode& code : codes) longest = std::max(longest, code.Length);
    EXPECT_GT(longest, 30u);
    for (std::size_t bufferSize : {std::size_t{1}, std::size_t{3}, std::size_t{4096}}) {
        for (std::uint32_t s = 0; s < kSymbolCount; ++s) {
            // Bits after the code are left alone.
            ASSERT_EQ(Decode(CodeOf(s) + "1011001110001111", bufferSize), s) << s;
            ASSERT_EQ(bitsUsed, codes[s].Length) << s;
            ASSERT_EQ(Decode(CodeOf(s), bufferSize), s) << s;
        }
    }
}

TEST(RebuildPointTest, EveryQuarterThousandBelow2048ThenEveryThousand) {
    std::vector<std::uint32_t> points;
    for (std::uint32_t k = 0; k <= 6144; ++k)
        if (IsRebuildPoint(k)) points.push_back(k);
    std::vector<std::uint32_t> expected{0, 256, 512, 768, 1024, 1280, 1536, 1792, 2048, 3072, 4096, 5120, 6144};
    EXPECT_EQ(points, expected);
    for (std::size_t i = 0; i + 1 < points.size(); ++i) EXPECT_EQ(NextRebuildPoint(points[i]), points[i + 1]);
}

// The first build of a file entry is made once and copied; a tree started after the
// storage's trees went through other builds is the very tree a fresh build from counts of 1
// gives, and so is its first rebuild when no count changed.
TEST_F(CodeTreeTest, StartedTreeIsTheFreshFirstBuild) {
    auto storage = std::make_unique<DecoderStorage>();
    StartTrees(*storage);
    for (std::uint32_t s = 0; s < kSymbolCount; ++s) storage->SymbolTree.Counts[s] += s % 5;
    RebuildTree(storage->SymbolTree);
    StartTrees(*storage);
    ResetTree(*tree);
    RebuildTree(*tree);
    for (AdaptiveCodeTree* started : {&storage->SymbolTree, &storage->DistanceTree}) {
        EXPECT_EQ(std::memcmp(started, tree.get(), sizeof *tree), 0);
        RebuildTree(*started);
        EXPECT_EQ(std::memcmp(started, tree.get(), sizeof *tree), 0);
    }
}

}  // namespace
}  // namespace quorvel
