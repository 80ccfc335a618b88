#include "format/code_tree.hpp"

#include <cstring>

namespace quorvel::format {

void ResetTree(AdaptiveCodeTree& tree) {
    tree.LeafCounts[0] = kSentinelCount;
    for (std::uint32_t s = 0; s < kSymbolCount; ++s) {
        tree.Counts[s] = 1;
        tree.LeafOrder[s] = static_cast<std::uint16_t>(s);
        tree.LeafCounts[kLeafListStart + s] = 1;
        tree.Nodes[s].Child[0] = tree.Nodes[s].Child[1] = static_cast<std::uint16_t>(s);
    }
}

namespace {

// The loops over all 512 leaves run in every build; unrolled, they spend less on loop control.

// Largest count for which the leaves are sorted by counting: the counts of early builds are
// small, and there the leaves whose counts rose would each move past hundreds of others.
constexpr std::uint32_t kCountingSortLimit = 1024;

// Stable: leaves of equal count keep their order in `leaves`. The leaves are counted and
// placed as four quarters side by side, each with counters of its own: a quarter's leaves of
// a count go behind those of the quarters before it, so the order stays that of `leaves`,
// and a run of leaves of one count (most of them, in early builds) makes four short chains
// of increments of a counter in memory rather than one long one.
void SortByCounting(const std::uint16_t* leaves, const std::uint32_t* leafCounts, std::uint32_t largest,
                    std::uint16_t* order, std::uint32_t* counts) {
    constexpr std::uint32_t kParts = 4;
    constexpr std::uint32_t kPart = kSymbolCount / kParts;
    std::uint16_t next[(kCountingSortLimit + 1) * kParts];
    std::memset(next, 0, (largest + 1) * kParts * sizeof *next);
    for (std::uint32_t i = 0; i < kPart; ++i)
#pragma GCC unroll 4
        for (std::uint32_t p = 0; p < kParts; ++p) ++next[leafCounts[p * kPart + i] * kParts + p];
    // Each count's first place: after every leaf of a larger count, and in each quarter after
    // the leaves of that count in the quarters before it.
    std::uint32_t place = 0;
    for (std::uint32_t c = largest; c != ~0u; --c) {
#pragma GCC unroll 4
        for (std::uint32_t p = 0; p < kParts; ++p) {
            const std::uint32_t leavesOfCount = next[c * kParts + p];
            next[c * kParts + p] = static_cast<std::uint16_t>(place);
            place += leavesOfCount;
        }
    }
    for (std::uint32_t i = 0; i < kPart; ++i) {
#pragma GCC unroll 4
        for (std::uint32_t p = 0; p < kParts; ++p) {
            const std::uint32_t count = leafCounts[p * kPart + i];
            const std::uint32_t at = next[count * kParts + p]++;
            order[at] = leaves[p * kPart + i];
            counts[at] = count;
        }
    }
}

// Farthest a leaf is moved forward a place at a time; farther moves search and move in blocks.
constexpr std::uint32_t kShortMove = 8;

// Stable insertion in place, fetching each leaf's count as it goes: a leaf that belongs
// further forward goes behind the last leaf of equal or larger count. Later builds change
// counts little, so few leaves move, and most of them a place or two: those step forward one
// place at a time, the rare long moves find their place by a binary search and move the
// leaves they pass up in one block.
void SortByInsertion(const std::uint32_t* symbolCounts, std::uint16_t* order, std::uint32_t* counts) {
    std::uint32_t previous = kSentinelCount;  // the count now in front of position i
    for (std::uint32_t i = 0; i < kSymbolCount; ++i) {
        const std::uint16_t leaf = order[i];
        const std::uint32_t count = symbolCounts[leaf];
        if (previous >= count) {
            counts[i] = previous = count;
            continue;
        }
        // The leaf in front moves up to position i, so `previous` stays what it is.
        std::uint32_t place = i;
        if (i < kShortMove || counts[i - kShortMove] >= count) {
            // The sentinel in front of the list ends the walk.
            std::uint16_t* leafAt = order + i;
            std::uint32_t* countAt = counts + i;
            do {
                *leafAt = leafAt[-1];
                *countAt = countAt[-1];
                --leafAt;
                --countAt;
            } while (countAt[-1] < count);
            place = static_cast<std::uint32_t>(countAt - counts);
        } else {
            std::uint32_t low = 0, high = i - kShortMove;  // counts[high] < count: find the first such
            while (low < high) {
                const std::uint32_t middle = (low + high) / 2;
                if (counts[middle] < count) {
                    high = middle;
                } else {
                    low = middle + 1;
                }
            }
            std::memmove(order + low + 1, order + low, (i - low) * sizeof *order);
            std::memmove(counts + low + 1, counts + low, (i - low) * sizeof *counts);
            place = low;
        }
        order[place] = leaf;
        counts[place] = count;
    }
}

// Takes the leaves in the order of the previous build, with their current counts, and sorts
// them by count, largest first, keeping equal counts in that order. Counts never fall, so
// once the largest of the last build is past the counting limit, so is every later one.
void SortLeaves(AdaptiveCodeTree& tree) {
    std::uint16_t* order = tree.LeafOrder;
    std::uint32_t* counts = tree.LeafCounts + kLeafListStart;
    if (counts[0] > kCountingSortLimit) return SortByInsertion(tree.Counts, order, counts);
    std::uint32_t largest = 0;
#pragma GCC unroll 4
    for (std::uint32_t i = 0; i < kSymbolCount; ++i) {
        const std::uint32_t count = tree.Counts[order[i]];
        counts[i] = count;
        if (count > largest) largest = count;
    }
    if (largest > kCountingSortLimit) return SortByInsertion(tree.Counts, order, counts);
    std::uint16_t leaves[kSymbolCount];
    std::uint32_t leafCounts[kSymbolCount];
    std::memcpy(leaves, order, sizeof leaves);
    std::memcpy(leafCounts, counts, sizeof leafCounts);
    SortByCounting(leaves, leafCounts, largest, order, counts);
}

// The combine step works on one list sorted by count, largest first, where among equal
// counts the leaves come first (in sorted order) and then the inner nodes in the order they
// were made; each step joins the last two entries and files the new node behind every entry
// of equal or larger count. The same list is kept here as two sequences: the sorted leaves,
// taken from the back, and the inner nodes in creation order, whose counts never decrease
// (a new node's count exceeds both of its children's, which were the smallest).
// The list's last entry is an inner node when the smallest node count is at most the
// smallest leaf count; among nodes of that count it is the newest one. No node of that count
// is made once one of them has been taken, so the nodes of one count (a run) are all there
// when the first of them is taken, and are then taken newest first: the one taken k-th from
// the run [first, end) is end - 1 - k.
// A sentinel count stands in front of the leaves and on the node being made, so neither
// sequence needs a test for its end.
void CombineNodes(AdaptiveCodeTree& tree) {
    CodeNode* nodes = tree.Nodes;
    const std::uint16_t* leafEnd = tree.LeafOrder + kSymbolCount;
    const std::uint32_t* leafCountEnd = tree.LeafCounts + kLeafListStart + kSymbolCount;
    std::uint32_t next = kFirstInnerNode;  // the next node to take, counted in creation order
    std::uint32_t runEnd = kFirstInnerNode;  // the end of the run `next` lies in
    std::uint32_t mirror = 0;               // first + end - 1 of that run
    const auto take = [&](std::uint32_t& count) -> std::uint32_t {
        const std::uint32_t nodeCount = nodes[next].Count;
        const std::uint32_t leafCount = leafCountEnd[-1];
        if (nodeCount > leafCount) {
            count = leafCount;
            --leafCountEnd;
            return *--leafEnd;
        }
        if (next == runEnd) {
            runEnd = next + 1;
            while (nodes[runEnd].Count == nodeCount) ++runEnd;
            mirror = next + runEnd - 1;
        }
        count = nodeCount;
        return mirror - next++;
    };
    for (std::uint32_t made = kFirstInnerNode; made < kNodeCount; ++made) {
        nodes[made].Count = kSentinelCount;
        std::uint32_t lastCount, beforeLastCount;
        const std::uint32_t last = take(lastCount);
        const std::uint32_t beforeLast = take(beforeLastCount);
        nodes[made].Count = beforeLastCount + lastCount;
        nodes[made].Child[0] = static_cast<std::uint16_t>(beforeLast);
        nodes[made].Child[1] = static_cast<std::uint16_t>(last);
    }
}

// Builds the table two bits at a time: after a step, entry i (i < 2^d) tells where the d-bit
// path i (first bit in bit 0) leads, and how many inner nodes it passed on the way: for a
// leaf, the length of its code. The next step makes the filled part four times as large:
// each entry gives way to its four grandchildren, and a leaf, its own child by either bit,
// stays in all four places with its length. An inner node's number has bit 9 set and a
// leaf's has not, so that bit is what the length grows by at each of the two levels. Every
// path of kTableBits bits that ends at an inner node passed kTableBits of them.
void FillTable(AdaptiveCodeTree& tree) {
    static_assert(kFirstInnerNode == 1u << 9 && kNodeCount <= kTableNodeMask + 1 && kTableBits % 2 == 0);
    std::uint16_t* table = tree.Table;
    const CodeNode* nodes = tree.Nodes;
    table[0] = static_cast<std::uint16_t>(kRootNode);
    for (std::uint32_t quarter = 1; quarter < kTableSize; quarter <<= 2) {
        for (std::uint32_t i = 0; i < quarter; ++i) {
            const std::uint32_t entry = table[i];
            const std::uint32_t node = entry & kTableNodeMask;
            const std::uint32_t zero = nodes[node].Child[0];
            const std::uint32_t one = nodes[node].Child[1];
            const std::uint32_t length = (entry & ~kTableNodeMask) + ((node >> 9) << kTableLengthShift);
            const std::uint32_t zeroLength = length + ((zero >> 9) << kTableLengthShift);
            const std::uint32_t oneLength = length + ((one >> 9) << kTableLengthShift);
            table[i] = static_cast<std::uint16_t>(nodes[zero].Child[0] | zeroLength);
            table[i + quarter] = static_cast<std::uint16_t>(nodes[one].Child[0] | oneLength);
            table[i + 2 * quarter] = static_cast<std::uint16_t>(nodes[zero].Child[1] | zeroLength);
            table[i + 3 * quarter] = static_cast<std::uint16_t>(nodes[one].Child[1] | oneLength);
        }
    }
}

}  // namespace

void RebuildNodes(AdaptiveCodeTree& tree) {
    SortLeaves(tree);
    CombineNodes(tree);
}

void RebuildTree(AdaptiveCodeTree& tree) {
    RebuildNodes(tree);
    FillTable(tree);
}

}  // namespace quorvel::format
