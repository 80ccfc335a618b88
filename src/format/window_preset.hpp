// Which bytes of a referenced file's history slot preload the window of a file that starts
// from it: the end of the shared prefix and what followed it, 8192 bytes at most.
#pragma once

#include <cstdint>

namespace quorvel::format {

struct WindowPreset {
    std::int32_t PresetLength;  // 0..8192
    std::int32_t PresetStart;   // offset in the referenced slot's data
};

// From the referenced slot's length (0..16384) and the shared prefix length (0..65535).
// For those ranges PresetStart + PresetLength never exceeds slotLength, even when the
// prefix is longer than the slot (which valid archives never have).
WindowPreset ComputeWindowPreset(std::int32_t slotLength, std::int32_t sharedPrefixLength);

}  // namespace quorvel::format
