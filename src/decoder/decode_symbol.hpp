// Decoding one symbol with a built tree: one table look-up for a short code, then a walk
// bit by bit for the rest of a long one (codes have no length limit).
#pragma once

#include <cstdint>

#include "decoder/bit_reader.hpp"
#include "decoder/decoder_namespace.hpp"
#include "format/code_tree.hpp"

namespace quorvel::decoder {

template <DecoderHost Host>
inline std::uint32_t DecodeSymbol(const AdaptiveCodeTree& tree, BitReader& reader, Host& host) {
    std::uint32_t node = kRootNode;
    if (HaveBits(reader, host, kTableBits)) [[likely]] {
        // The code's length is looked up by the same bits, not by the entry, so that both
        // loads start at once.
        const std::uint32_t index = reader.BitBuffer & (kTableSize - 1);
        std::uint32_t entry = tree.Table[index];
        if (entry < kFirstInnerNode) [[likely]] {
            DropBits(reader, tree.CodeLength[index]);
            return entry;
        }
        DropBits(reader, kTableBits);
        node = entry;
    }
    // Near the end of what the host can lend, every bit is fetched only when it is needed.
    do node = tree.Nodes[node].Child[TakeBit(reader, host)];
    while (node >= kFirstInnerNode);
    return node;
}

}  // namespace quorvel::decoder
