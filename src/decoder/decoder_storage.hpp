// All working storage of an extraction run, about 4.3 MB, set aside once: the Expander
// places it once, tools allocate it on the heap. Zero-initialised storage is a valid start.
#pragma once

#include "format/code_tree.hpp"
#include "format/history_ring.hpp"
#include "decoder/sliding_window.hpp"

namespace quorvel {

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

inline void StartTrees(DecoderStorage& storage) {
    if (!storage.FirstTreeBuilt) {
        ResetTree(storage.FirstTree);
        RebuildTree(storage.FirstTree);
        storage.FirstTreeBuilt = true;
    }
    storage.SymbolTree = storage.FirstTree;
    storage.DistanceTree = storage.FirstTree;
}

}  // namespace quorvel
