// Decoding one file entry's compressed data into the sliding window: literals and matches
// coded with the two adaptive trees, until the entry's remaining size is produced.
#pragma once

#include <cstdint>
#include <cstring>

#include "decoder/bit_reader.hpp"
#include "decoder/decode_symbol.hpp"
#include "decoder/decoder_namespace.hpp"
#include "decoder/decoder_storage.hpp"
#include "decoder/match_copy.hpp"
#include "decoder/sliding_window.hpp"
#include "format/code_tree.hpp"
#include "format/item_format.hpp"

namespace quorvel::decoder {

// A host that sets kCompactDecoder is decoded by the careful loop alone, which is smaller; the
// others also get the fast loop, which decodes whole items from lent bytes, where the bit
// buffer is a 64-bit word.
template <typename Host>
constexpr bool kUsesFastLoop = !requires { requires Host::kCompactDecoder; } && sizeof(BitWord) == 8;

// Slides the window when a byte arrives for a full one; returns the index to store it at.
template <DecoderHost Host>
inline std::uint32_t RoomFor(SlidingWindow& window, Host& host, std::uint32_t index) {
    if (index < kWindowSize) return index;
    SlideWindow(window, host);
    return index - kSlideSize;
}

// Copies a match in pieces that end at the slide point, so no byte pays for the check;
// returns the index behind it. Out of line: the fast loop copies in line and comes here
// only for a match across the slide point.
template <DecoderHost Host>
[[gnu::noinline]] std::uint32_t CopyMatchInWindow(SlidingWindow& window, Host& host, std::uint32_t index,
                                       std::uint32_t distance, std::uint32_t length) {
    do {
        index = RoomFor(window, host, index);
        std::uint32_t piece = kWindowSize - index;
        if (piece > length) piece = length;
        CopyMatch(window.Bytes + index, distance, piece);
        index += piece;
        length -= piece;
    } while (length != 0);
    return index;
}

// Where decoding stands between items.
struct DecodeProgress {
    std::uint32_t index;         // the write position as a window index
    std::uint32_t left;          // bytes still to produce
    std::uint32_t untilRebuild;  // items to decode before the next build
    std::uint32_t newDistances;  // distance symbols counted since the distance tree was built
};

// What an item's symbol code may leave at most for the rest of the item (extra length bits,
// the distance code from the table and its low bits) and for the next item's look-up.
constexpr std::uint32_t kLongestItemRest = kLongMatchBits + kTableBits + kDistanceLowBits + kTableBits;

// Walks a code longer than the table on from the inner node its first bits reach, reading the
// bits of `buffer` from `used` on and counting them; gives up, returning an inner node, where
// the code would take bits from `limit` on.
inline std::uint32_t WalkLongCode(const AdaptiveCodeTree& tree, std::uint32_t node, BitWord buffer,
                                  std::uint32_t& used, std::uint32_t limit) {
    do {
        if (used >= limit) return node;
        node = tree.Nodes[node].Child[(buffer >> used) & 1];
        ++used;
    } while (node >= kFirstInnerNode);
    return node;
}

// The fast loop: decodes items straight from the bytes the host lends, for as long as a word
// of them is left, refilling the bit buffer a word at a time without checks. A refill leaves
// at least 56 bits: enough for the longest item whose codes are both found in the tables, and
// codes a few bits longer are walked on from there. An item with a code longer still is left
// untouched to the careful loop, as are the items near the end of what is lent. The loop also
// stops at a rebuild point and where the data ends.
template <DecoderHost Host>
inline void DecodeLentItems(DecoderStorage& storage, Host& host, BitReader& reader, DecodeProgress& progress) {
    static_assert(!kUsesFastLoop<Host> || kBitWordBits - 8 >= kTableBits + kLongMatchBits + kTableBits + kDistanceLowBits);
    const std::uint8_t* start;
    const std::uint32_t lent = host.Contiguous(start);
    if (lent < sizeof(BitWord) || reader.BitsHeld >= kBitWordBits) return;
    const std::uint8_t* next = start;
    const std::uint8_t* const lastWord = start + lent - sizeof(BitWord);
    // Bits from `held` upwards are the next bits of the input or zero, so refilling again
    // ORs in what is already there.
    BitWord buffer = reader.BitBuffer;
    std::uint32_t held = reader.BitsHeld;
    std::uint32_t index = progress.index;
    std::uint32_t left = progress.left;
    std::uint32_t untilRebuild = progress.untilRebuild;
    std::uint32_t newDistances = progress.newDistances;
    // Tops the buffer up to 56 bits or more from the next lent word.
    auto refill = [&] {
        BitWord word;
        std::memcpy(&word, next, sizeof word);  // little-endian: first byte lowest
        buffer |= word << held;
        next += (kBitWordBits - 1 - held) >> 3;
        held |= kBitWordBits - 8;
    };
    refill();
    // The next item's entry is looked up as soon as the current item's bits are gone: an item
    // leaves at least kTableBits of the 56, so the look-up's bits are there before the refill,
    // which only adds bits above them; the look-up's wait then overlaps the rest of the item.
    std::uint32_t lookUp = buffer & (kTableSize - 1);
    for (;;) {
        const std::uint32_t entry = storage.SymbolTree.Table[lookUp];
        std::uint32_t symbol = entry & kTableNodeMask;
        std::uint32_t used = entry >> kTableLengthShift;
        if (symbol >= kFirstInnerNode) [[unlikely]] {
            symbol = WalkLongCode(storage.SymbolTree, symbol, buffer, used, held - kLongestItemRest);
            if (symbol >= kFirstInnerNode) break;
        }
        if (symbol < kFirstMatchSymbol) {
            buffer >>= used;
            held -= used;
            lookUp = buffer & (kTableSize - 1);
            CountSymbol(storage.SymbolTree, symbol);
            index = RoomFor(storage.Window, host, index);
            storage.Window.Bytes[index++] = static_cast<std::uint8_t>(symbol);
            --left;
        } else {
            std::uint32_t length = symbol - kMatchSymbolBias;
            if (symbol == kLongMatchSymbol) {
                length += static_cast<std::uint32_t>(buffer >> used) & ((1u << kLongMatchBits) - 1);
                used += kLongMatchBits;
            }
            const std::uint32_t distanceIndex = static_cast<std::uint32_t>(buffer >> used) & (kTableSize - 1);
            const std::uint32_t distanceEntry = storage.DistanceTree.Table[distanceIndex];
            std::uint32_t distanceSymbol = distanceEntry & kTableNodeMask;
            used += distanceEntry >> kTableLengthShift;
            if (distanceSymbol >= kFirstInnerNode) [[unlikely]] {
                distanceSymbol = WalkLongCode(storage.DistanceTree, distanceSymbol, buffer, used,
                                              held - kDistanceLowBits - kTableBits);
                if (distanceSymbol >= kFirstInnerNode) break;
            }
            const std::uint32_t distance = (distanceSymbol << kDistanceLowBits) +
                                           (static_cast<std::uint32_t>(buffer >> used) & ((1u << kDistanceLowBits) - 1)) + 1;
            used += kDistanceLowBits;
            buffer >>= used;
            held -= used;
            lookUp = buffer & (kTableSize - 1);
            CountSymbol(storage.SymbolTree, symbol);
            CountSymbol(storage.DistanceTree, distanceSymbol);
            ++newDistances;
            const auto reach = static_cast<std::uint32_t>(storage.Window.WindowBase) + index;
            if (distance > reach || length > left) host.Broken();
            left -= length;
            if (index + length <= kWindowSize) [[likely]] {
                CopyMatch(storage.Window.Bytes + index, distance, length);
                index += length;
            } else {
                index = CopyMatchInWindow(storage.Window, host, index, distance, length);
            }
        }
        if (--untilRebuild == 0 || left == 0 || next > lastWord) break;
        refill();
    }
    reader.BitBuffer = buffer & ((BitWord(1) << held) - 1);
    reader.BitsHeld = held;
    host.Consume(static_cast<std::uint32_t>(next - start));
    progress = {index, left, untilRebuild, newDistances};
}

// With the fast loop, the careful loop only takes the few items near the end of what is lent,
// so its symbol decoding stays out of line: one small copy for both trees.
template <DecoderHost Host>
[[gnu::noinline]] std::uint32_t DecodeSymbolOutOfLine(const AdaptiveCodeTree& tree, BitReader& reader, Host& host) {
    return DecodeSymbol(tree, reader, host);
}

template <DecoderHost Host>
inline std::uint32_t DecodeCarefully(const AdaptiveCodeTree& tree, BitReader& reader, Host& host) {
    if constexpr (kUsesFastLoop<Host>) return DecodeSymbolOutOfLine(tree, reader, host);
    return DecodeSymbol(tree, reader, host);
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

    DecodeProgress progress{static_cast<std::uint32_t>(storage.Window.WritePosition - storage.Window.WindowBase),
                            static_cast<std::uint32_t>(remaining), NextRebuildPoint(0), 0};
    std::uint32_t rebuildPoint = progress.untilRebuild;
    do {
        if (progress.untilRebuild == 0) {
            RebuildTree(storage.SymbolTree);
            // With unchanged counts a build starts from an order that is already sorted and
            // gives the same tree again.
            if (progress.newDistances != 0) RebuildTree(storage.DistanceTree);
            progress.newDistances = 0;
            const std::uint32_t next = NextRebuildPoint(rebuildPoint);
            progress.untilRebuild = next - rebuildPoint;
            rebuildPoint = next;
        }
        if constexpr (kUsesFastLoop<Host>) {
            DecodeLentItems(storage, host, reader, progress);
            if (progress.untilRebuild == 0 || progress.left == 0) continue;
        }
        // The careful loop's item: every bit is checked for, and a byte past what the host
        // lends is fetched only when its first bit is needed.
        --progress.untilRebuild;
        std::uint32_t symbol = DecodeCarefully(storage.SymbolTree, reader, host);
        CountSymbol(storage.SymbolTree, symbol);
        if (symbol < kFirstMatchSymbol) {
            progress.index = RoomFor(storage.Window, host, progress.index);
            storage.Window.Bytes[progress.index++] = static_cast<std::uint8_t>(symbol);
            --progress.left;
            continue;
        }
        std::uint32_t matchLength = symbol - kMatchSymbolBias;
        if (symbol == kLongMatchSymbol) matchLength += TakeBits(reader, host, kLongMatchBits);
        std::uint32_t distanceSymbol = DecodeCarefully(storage.DistanceTree, reader, host);
        CountSymbol(storage.DistanceTree, distanceSymbol);
        ++progress.newDistances;
        std::uint32_t matchDistance =
            (distanceSymbol << kDistanceLowBits) + TakeBits(reader, host, kDistanceLowBits) + 1;
        const auto reach = static_cast<std::uint32_t>(storage.Window.WindowBase) + progress.index;
        if (matchDistance > reach || matchLength > progress.left) host.Broken();
        progress.left -= matchLength;
        progress.index = CopyMatchInWindow(storage.Window, host, progress.index, matchDistance, matchLength);
    } while (progress.left != 0);

    storage.Window.WritePosition = storage.Window.WindowBase + static_cast<std::int32_t>(progress.index);
    CaptureHistory(storage.Window, progress.index);
    EndBits(reader, host);
}

}  // namespace quorvel::decoder
