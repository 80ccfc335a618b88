// The cross-file dictionary: the first bytes of the last 256 files, from which a later file
// takes its shared prefix and its window preset.
#pragma once

#include <cstdint>

#include "format/archive_format.hpp"

namespace quorvel::format {

struct HistorySlot {
    // min(file size, 16384) of the file that filled the slot.
    std::int32_t SlotLength;
    std::uint8_t SlotData[kSlotSize];
};

struct HistoryRing {
    HistorySlot Slots[kSlotCount];
};

}  // namespace quorvel::format
