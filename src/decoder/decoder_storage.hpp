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
};

}  // namespace quorvel
