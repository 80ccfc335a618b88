// The sliding window: keeps the last 8192 produced bytes for matches, hands the produced
// bytes to the output in pieces of 32768 and the rest at the entry's end (up to 40960), and
// captures a file's first 16384 bytes into its history slot.
#pragma once

#include <cstdint>

#include "decoder/decoder_host.hpp"
#include "decoder/decoder_namespace.hpp"
#include "format/history_ring.hpp"
#include "format/item_format.hpp"

namespace quorvel::decoder {

constexpr std::uint32_t kSlideSize = 32768;
constexpr std::uint32_t kWindowSize = kSlideSize + kMaxDistance;
// Room behind the window for match copies that store whole words past the match's end.
constexpr std::uint32_t kWindowSlack = 16;

struct SlidingWindow {
    std::uint8_t Bytes[kWindowSize + kWindowSlack];
    // Absolute positions count the entry's window content: the preset first, then the
    // produced bytes. WindowBase is the position of Bytes[0].
    std::int32_t WindowBase;
    std::int32_t WritePosition;
    // Index of the first produced byte not yet handed to the output.
    std::int32_t UnwrittenStart;
    // The entry being decoded.
    std::int32_t PresetLength;
    std::int32_t SharedPrefixLength;
    HistorySlot* CurrentSlot;  // receives the file's first bytes; may be null
    bool SkipOutput;
};

// Begins a file entry whose preset (0..8192 bytes) is already in Bytes[0, presetLength).
void StartWindow(SlidingWindow& window, std::int32_t presetLength, std::int32_t sharedPrefixLength,
                 HistorySlot* currentSlot, bool skipOutput);

// Copies the produced bytes that are still in the window and whose offset in the file is
// below 16384 into the current slot. The first slide does it before those bytes move, and
// the decoder when the entry's data ends; every captured byte is in the window until then
// (at most 8192 preset bytes precede at most 16384 captured ones).
void CaptureHistory(SlidingWindow& window, std::uint32_t endIndex);

// The part of a slide that does not write: capture, keep the last 8192 bytes, move the base.
void ShiftWindow(SlidingWindow& window);

// Makes room when a byte arrives for a full window: writes the unwritten bytes up to index
// 32768, then keeps the last 8192 bytes in front of the write position.
template <DecoderHost Host>
void SlideWindow(SlidingWindow& window, Host& host) {
    if (!window.SkipOutput)
        host.WriteOutput(window.Bytes + window.UnwrittenStart, kSlideSize - window.UnwrittenStart);
    ShiftWindow(window);
}

template <DecoderHost Host>
inline void EmitByte(SlidingWindow& window, Host& host, std::uint8_t byte) {
    std::uint32_t index = window.WritePosition - window.WindowBase;
    if (index >= kWindowSize) {
        SlideWindow(window, host);
        index -= kSlideSize;
    }
    window.Bytes[index] = byte;
    ++window.WritePosition;
}

// The byte `distance` (1..8192) positions before the write position; the caller has made
// sure that it lies in the window.
inline std::uint8_t ByteBack(const SlidingWindow& window, std::uint32_t distance) {
    return window.Bytes[window.WritePosition - window.WindowBase - distance];
}

// Writes the produced bytes still in the window, if any, in one piece.
template <DecoderHost Host>
void FlushWindow(SlidingWindow& window, Host& host) {
    std::int32_t end = window.WritePosition - window.WindowBase;
    if (window.SkipOutput || end <= window.UnwrittenStart) return;
    host.WriteOutput(window.Bytes + window.UnwrittenStart, end - window.UnwrittenStart);
    window.UnwrittenStart = end;
}

}  // namespace quorvel::decoder
