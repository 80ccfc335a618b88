// All working storage of an extraction run, about 4.3 MB, set aside once: the Expander
// places it once, tools allocate it on the heap. Zero-initialised storage is a valid start.
#pragma once

#include <cstring>

#include "decoder/decoder_namespace.hpp"
#include "decoder/sliding_window.hpp"
#include "format/code_tree.hpp"
#include "format/history_ring.hpp"

namespace quorvel::decoder {

struct DecoderStorage {
    HistoryRing History;
    SlidingWindow Window;
    AdaptiveCodeTree SymbolTree;
    AdaptiveCodeTree DistanceTree;
    // Both trees of every file entry start from counts of 1 in symbol order, so their first
    // build is always this same tree: built once, on the first file entry, then copied.
    AdaptiveCodeTree FirstTree;
    bool FirstTreeBuilt;
};

// Readies a tree for a new file entry as the first build leaves it. Only what decoding reads
// (the inner nodes and the table) is copied; the counts and the leaf order, which the
// next build reads, are reset, which is cheaper than copying them.
inline void StartTree(AdaptiveCodeTree& tree, const AdaptiveCodeTree& first) {
    ResetTree(tree);
    std::memcpy(tree.Nodes + kFirstInnerNode, first.Nodes + kFirstInnerNode,
                sizeof tree.Nodes - kFirstInnerNode * sizeof *tree.Nodes);
    std::memcpy(tree.Table, first.Table, sizeof tree.Table);
}

inline void StartTrees(DecoderStorage& storage) {
    if (!storage.FirstTreeBuilt) {
        ResetTree(storage.FirstTree);
        RebuildTree(storage.FirstTree);
        storage.FirstTreeBuilt = true;
    }
    StartTree(storage.SymbolTree, storage.FirstTree);
    StartTree(storage.DistanceTree, storage.FirstTree);
}

}  // namespace quorvel::decoder
