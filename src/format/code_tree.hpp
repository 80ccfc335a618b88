// The adaptive code tree: a Huffman tree over 512 symbols, built from running counts with
// fixed tie rules so that the packer and the Expander build the very same tree, plus the
// lookup table that decodes short codes in one step.
#pragma once

#include <cstdint>

namespace quorvel::format {

constexpr std::uint32_t kSymbolCount = 512;
constexpr std::uint32_t kNodeCount = 2 * kSymbolCount - 1;
// Leaves are nodes 0..511 (the leaf of symbol s is node s); internal nodes are numbered
// from 512 in the order a build creates them, so the last one made is the root.
constexpr std::uint32_t kFirstInnerNode = kSymbolCount;
constexpr std::uint32_t kRootNode = kNodeCount - 1;
// A count larger than any real one; it ends both sequences of the combine.
constexpr std::uint32_t kSentinelCount = 0xFFFFFFFFu;

// Codes of up to kTableBits bits decode with one table look-up; longer ones continue bit
// by bit from the inner node the table names. A table entry holds, in its bits below
// kTableLengthShift, the leaf (the symbol) a short code ends at or the inner node kTableBits
// bits reach, and above them how many bits that took: the code's length for a leaf,
// kTableBits for an inner node. One load gives both.
constexpr std::uint32_t kTableBits = 10;
constexpr std::uint32_t kTableSize = 1u << kTableBits;
constexpr std::uint32_t kTableLengthShift = 10;
constexpr std::uint32_t kTableNodeMask = (1u << kTableLengthShift) - 1;

struct CodeNode {
    // The sum of the counts of the two children.
    std::uint32_t Count;
    // The child reached by a 0 bit and by a 1 bit.
    std::uint16_t Child[2];
};

// Where the leaves' counts start in AdaptiveCodeTree::LeafCounts.
constexpr std::uint32_t kLeafListStart = 1;

// All storage of one tree, fixed in size; zero-initialised storage is a valid start.
struct AdaptiveCodeTree {
    // 1 + the number of times each symbol was decoded in this file entry. Unsigned, so that
    // even a 2^31-symbol entry cannot overflow into undefined behaviour.
    std::uint32_t Counts[kSymbolCount];
    // The sorted leaf list of the last build, in symbol order after ResetTree: the leaf at
    // position k is the one with SortRank k, and the next build starts from this order.
    std::uint16_t LeafOrder[kSymbolCount];
    // The leaves' counts at the last build, in list order from kLeafListStart, behind a
    // sentinel.
    std::uint32_t LeafCounts[kLeafListStart + kSymbolCount];
    // The leaves' entries lead back to the leaf itself by either bit, so that filling the
    // table treats leaves and inner nodes alike.
    CodeNode Nodes[kNodeCount];
    std::uint16_t Table[kTableSize];
};

// Counts back to 1 and the leaf order to symbol order, as at the start of every file entry;
// also prepares the leaves' entries in Nodes and the sentinels in front of LeafCounts.
void ResetTree(AdaptiveCodeTree& tree);

// Builds the tree and its table from Counts and the previous leaf order, and keeps the
// new order for the next build.
void RebuildTree(AdaptiveCodeTree& tree);
// The same build without the Table, which only decoding reads: the nodes come out
// exactly as RebuildTree makes them.
void RebuildNodes(AdaptiveCodeTree& tree);

inline void CountSymbol(AdaptiveCodeTree& tree, std::uint32_t symbol) {
    ++tree.Counts[symbol];
}

// Both trees are rebuilt right before the symbol with this number (0-based) is decoded:
// every 256 symbols below 2048, every 1024 from there on.
constexpr bool IsRebuildPoint(std::uint32_t symbolNumber) {
    return symbolNumber % 256 == 0 && (symbolNumber < 2048 || symbolNumber % 1024 == 0);
}

// The rebuild point that follows the rebuild point `point`.
constexpr std::uint32_t NextRebuildPoint(std::uint32_t point) {
    return point + (point < 2048 ? 256 : 1024);
}

}  // namespace quorvel::format
