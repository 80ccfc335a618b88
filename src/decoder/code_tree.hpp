// The adaptive code tree: a Huffman tree over 512 symbols, built from running counts with
// fixed tie rules so that the packer and the Expander build the very same tree, plus the
// lookup table that decodes short codes in one step.
#pragma once

#include <cstdint>

namespace quorvel {

constexpr std::uint32_t kSymbolCount = 512;
constexpr std::uint32_t kNodeCount = 2 * kSymbolCount - 1;
// Leaves are nodes 0..511 (the leaf of symbol s is node s); internal nodes are numbered
// from 512 in the order a build creates them, so the last one made is the root.
constexpr std::uint32_t kFirstInnerNode = kSymbolCount;
constexpr std::uint32_t kRootNode = kNodeCount - 1;

// Codes of up to kTableBits bits decode with one table look-up; longer ones continue bit
// by bit from the inner node the table names.
constexpr std::uint32_t kTableBits = 10;
constexpr std::uint32_t kTableSize = 1u << kTableBits;
// A table entry is either (code length << kTableLengthShift) | symbol for a short code, or
// the number of the inner node reached after kTableBits bits (always below 1 << shift).
constexpr std::uint32_t kTableLengthShift = 10;
constexpr std::uint32_t kTableValueMask = (1u << kTableLengthShift) - 1;

struct CodeNode {
    // A leaf's count at the time of the build, or the sum of an inner node's children.
    std::uint32_t Count;
    // Inner nodes only: the child reached by a 0 bit and by a 1 bit.
    std::uint16_t Child[2];
};

// All storage of one tree, fixed in size; zero-initialised storage is a valid start.
struct AdaptiveCodeTree {
    // 1 + the number of times each symbol was decoded in this file entry. Unsigned, so that
    // even a 2^31-symbol entry cannot overflow into undefined behaviour.
    std::uint32_t Counts[kSymbolCount];
    // Position of each symbol's leaf in the sorted leaf list of the previous build.
    std::uint16_t SortRank[kSymbolCount];
    // The sorted leaf list of the current build.
    std::uint16_t LeafOrder[kSymbolCount];
    CodeNode Nodes[kNodeCount];
    std::uint16_t Table[kTableSize];
};

// Counts back to 1 and ranks to symbol order, as at the start of every file entry.
void ResetTree(AdaptiveCodeTree& tree);

// Builds the tree and its table from Counts and SortRank, and records the new ranks.
void RebuildTree(AdaptiveCodeTree& tree);

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

}  // namespace quorvel
