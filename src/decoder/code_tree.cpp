#include "decoder/code_tree.hpp"

namespace quorvel {

void ResetTree(AdaptiveCodeTree& tree) {
    for (std::uint32_t s = 0; s < kSymbolCount; ++s) {
        tree.Counts[s] = 1;
        tree.SortRank[s] = static_cast<std::uint16_t>(s);
    }
}

namespace {

// Places the leaves in the order of the previous build, then sorts them by count, largest
// first, keeping equal counts in that order. The list is nearly sorted already, so an
// insertion sort does little work.
void SortLeaves(AdaptiveCodeTree& tree) {
    std::uint16_t* order = tree.LeafOrder;
    for (std::uint32_t s = 0; s < kSymbolCount; ++s) {
        tree.Nodes[s].Count = tree.Counts[s];
        order[tree.SortRank[s]] = static_cast<std::uint16_t>(s);
    }
    for (std::uint32_t i = 1; i < kSymbolCount; ++i) {
        std::uint16_t leaf = order[i];
        std::uint32_t count = tree.Nodes[leaf].Count;
        std::uint32_t j = i;
        for (; j > 0 && tree.Nodes[order[j - 1]].Count < count; --j) order[j] = order[j - 1];
        order[j] = leaf;
    }
    for (std::uint32_t k = 0; k < kSymbolCount; ++k) tree.SortRank[order[k]] = static_cast<std::uint16_t>(k);
}

// The combine step works on one list sorted by count, largest first, where among equal
// counts the leaves come first (in sorted order) and then the inner nodes in the order they
// were made; each step joins the last two entries and files the new node behind every entry
// of equal or larger count. The same list is kept here as two sequences: the sorted leaves,
// taken from the back, and the inner nodes in creation order, whose counts never decrease
// (a new node's count exceeds both of its children's, which were the smallest).
// The list's last entry is an inner node when the smallest node count is at most the
// smallest leaf count; among nodes of that smallest count it is the newest one. No node of
// that count is made once one of them has been taken, so the run of nodes with the smallest
// count is fixed when it is first used and is then taken from its newest end.
struct CombineQueues {
    const CodeNode* nodes;
    const std::uint16_t* leaves;
    std::uint32_t leafEnd;   // leaves[0, leafEnd) are still in the list
    std::uint32_t runLow;    // [runLow, runHigh): the run being taken, newest first
    std::uint32_t runHigh;
    std::uint32_t nodeNext;  // [nodeNext, made): inner nodes not yet in a run
    std::uint32_t made;      // next node number to create

    std::uint32_t TakeLast() {
        bool runEmpty = runLow == runHigh;
        if (!runEmpty || nodeNext < made) {
            std::uint32_t nodeCount = nodes[runEmpty ? nodeNext : runLow].Count;
            if (leafEnd == 0 || nodeCount <= nodes[leaves[leafEnd - 1]].Count) {
                if (runEmpty) StartRun();
                return --runHigh;
            }
        }
        return leaves[--leafEnd];
    }

    void StartRun() {
        runLow = nodeNext;
        runHigh = nodeNext + 1;
        while (runHigh < made && nodes[runHigh].Count == nodes[runLow].Count) ++runHigh;
        nodeNext = runHigh;
    }
};

void CombineNodes(AdaptiveCodeTree& tree) {
    CombineQueues queues{tree.Nodes, tree.LeafOrder, kSymbolCount, kFirstInnerNode,
                         kFirstInnerNode, kFirstInnerNode, kFirstInnerNode};
    for (; queues.made < kNodeCount; ++queues.made) {
        std::uint32_t last = queues.TakeLast();
        std::uint32_t beforeLast = queues.TakeLast();
        CodeNode& node = tree.Nodes[queues.made];
        node.Count = tree.Nodes[beforeLast].Count + tree.Nodes[last].Count;
        node.Child[0] = static_cast<std::uint16_t>(beforeLast);
        node.Child[1] = static_cast<std::uint16_t>(last);
    }
}

// Fills every table entry whose low `depth` bits are the path `code` (first bit in bit 0)
// leading to `node`: a leaf within reach of the table, or an inner node at table depth.
void FillTable(AdaptiveCodeTree& tree, std::uint32_t node, std::uint32_t code, std::uint32_t depth) {
    if (node >= kFirstInnerNode && depth < kTableBits) {
        const CodeNode& inner = tree.Nodes[node];
        FillTable(tree, inner.Child[0], code, depth + 1);
        FillTable(tree, inner.Child[1], code | (1u << depth), depth + 1);
        return;
    }
    std::uint32_t entry = node < kFirstInnerNode ? (depth << kTableLengthShift) | node : node;
    for (std::uint32_t i = code; i < kTableSize; i += 1u << depth) tree.Table[i] = static_cast<std::uint16_t>(entry);
}

}  // namespace

void RebuildTree(AdaptiveCodeTree& tree) {
    SortLeaves(tree);
    CombineNodes(tree);
    FillTable(tree, kRootNode, 0, 0);
}

}  // namespace quorvel
