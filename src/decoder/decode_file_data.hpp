// Decoding one file entry's compressed data into the sliding window: literals and matches
// coded with the two adaptive trees, until the entry's remaining size is produced.
#pragma once

#include <cstdint>

#include "decoder/bit_reader.hpp"
#include "format/code_tree.hpp"
#include "decoder/decode_symbol.hpp"
#include "decoder/decoder_storage.hpp"
#include "format/item_format.hpp"
#include "decoder/match_copy.hpp"
#include "decoder/sliding_window.hpp"

namespace quorvel {

// Slides the window when a byte arrives for a full one; returns the index to store it at.
template <DecoderHost Host>
inline std::uint32_t RoomFor(SlidingWindow& window, Host& host, std::uint32_t index) {
    if (index < kWindowSize) return index;
    SlideWindow(window, host);
    return index - kSlideSize;
}

// Produces `remaining` bytes (none when 0 or less) into the window started for this entry,
// and captures the file's first bytes into its slot. Data that would reach in front of the
// window's first byte or past the remaining size ends in host.Broken(), before any byte of
// that match is stored. On return every whole byte prefetched and not used has been given
// back to the host.
template <DecoderHost Host>
void DecodeFileData(DecoderStorage& storage, Host& host, std::int32_t remaining) {
    if (remaining <= 0) return;
    // A local, so that its state stays in registers across the stores into the window. The
    // window and the trees are reached through `storage` itself, at fixed offsets, rather than
    // through references of their own, which the compiler keeps as values of their own and
    // then has too few registers for the bit reader.
    BitReader reader;
    StartBits(reader);
    StartTrees(storage);

    // The write position as a window index, kept here while decoding; the window's base plus
    // the index is how far back a match may reach.
    std::uint32_t index = static_cast<std::uint32_t>(storage.Window.WritePosition - storage.Window.WindowBase);
    std::uint32_t left = static_cast<std::uint32_t>(remaining);  // bytes still to produce
    std::uint32_t rebuildPoint = NextRebuildPoint(0);
    std::uint32_t untilRebuild = rebuildPoint;  // symbols to decode before the next build
    // Distance symbols counted since the distance tree was last built. With unchanged counts
    // a build starts from an order that is already sorted and gives the same tree again.
    std::uint32_t newDistances = 0;
    do {
        if (untilRebuild == 0) {
            RebuildTree(storage.SymbolTree);
            if (newDistances != 0) RebuildTree(storage.DistanceTree);
            newDistances = 0;
            const std::uint32_t next = NextRebuildPoint(rebuildPoint);
            untilRebuild = next - rebuildPoint;
            rebuildPoint = next;
        }
        --untilRebuild;
        std::uint32_t symbol = DecodeSymbol(storage.SymbolTree, reader, host);
        CountSymbol(storage.SymbolTree, symbol);
        if (symbol < kFirstMatchSymbol) {
            index = RoomFor(storage.Window, host, index);
            storage.Window.Bytes[index++] = static_cast<std::uint8_t>(symbol);
            --left;
            continue;
        }
        std::uint32_t matchLength = symbol - kMatchSymbolBias;
        if (symbol == kLongMatchSymbol) matchLength += TakeBits(reader, host, kLongMatchBits);
        std::uint32_t distanceSymbol = DecodeSymbol(storage.DistanceTree, reader, host);
        CountSymbol(storage.DistanceTree, distanceSymbol);
        ++newDistances;
        std::uint32_t matchDistance =
            (distanceSymbol << kDistanceLowBits) + TakeBits(reader, host, kDistanceLowBits) + 1;
        const auto reach = static_cast<std::uint32_t>(storage.Window.WindowBase) + index;
        if (matchDistance > reach || matchLength > left) host.Broken();
        left -= matchLength;
        // Copied in pieces that end at the slide point, so no byte pays for the check.
        do {
            index = RoomFor(storage.Window, host, index);
            std::uint32_t piece = kWindowSize - index;
            if (piece > matchLength) piece = matchLength;
            CopyMatch(storage.Window.Bytes + index, matchDistance, piece);
            index += piece;
            matchLength -= piece;
        } while (matchLength != 0);
    } while (left != 0);

    storage.Window.WritePosition = storage.Window.WindowBase + static_cast<std::int32_t>(index);
    CaptureHistory(storage.Window, index);
    EndBits(reader, host);
}

}  // namespace quorvel
