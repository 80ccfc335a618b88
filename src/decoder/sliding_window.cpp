#include "decoder/sliding_window.hpp"

#include "decoder/decoder_namespace.hpp"

#include <cstring>

namespace quorvel::decoder {

void StartWindow(SlidingWindow& window, std::int32_t presetLength, std::int32_t sharedPrefixLength,
                 HistorySlot* currentSlot, bool skipOutput) {
    window.WindowBase = 0;
    window.WritePosition = presetLength;
    window.UnwrittenStart = presetLength;
    window.PresetLength = presetLength;
    window.SharedPrefixLength = sharedPrefixLength;
    window.CurrentSlot = currentSlot;
    window.SkipOutput = skipOutput;
}

void CaptureHistory(SlidingWindow& window, std::uint32_t endIndex) {
    std::uint32_t offset = window.SharedPrefixLength;
    if (window.WindowBase != 0 || window.CurrentSlot == nullptr || offset >= kSlotSize) return;
    std::uint32_t start = window.PresetLength;
    if (endIndex <= start) return;
    std::uint32_t count = endIndex - start;
    if (count > kSlotSize - offset) count = kSlotSize - offset;
    std::memcpy(window.CurrentSlot->SlotData + offset, window.Bytes + start, count);
}

void ShiftWindow(SlidingWindow& window) {
    CaptureHistory(window, kWindowSize);
    window.UnwrittenStart = 0;
    std::memcpy(window.Bytes, window.Bytes + kSlideSize, kMaxDistance);
    window.WindowBase += kSlideSize;
}

}  // namespace quorvel::decoder
