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
        const std::uint32_t entry = tree.Table[reader.BitBuffer & (kTableSize - 1)];
        DropBits(reader, entry >> kTableLengthShift);
        node = entry & kTableNodeMask;
        if (node < kFirstInnerNode) [[likely]] return node;
    }
    // Near the end of what the host can lend, every bit is fetched only when it is needed.
    do node = tree.Nodes[node].Child[TakeBit(reader, host)];
    while (node >= kFirstInnerNode);
    return node;
}

}  // namespace quorvel::decoder
