#include "format/window_preset.hpp"

namespace quorvel::format {

WindowPreset ComputeWindowPreset(std::int32_t slotLength, std::int32_t sharedPrefixLength) {
    // Bytes at and after the prefix's end, then bytes of the prefix just before it.
    std::int32_t after = slotLength - sharedPrefixLength;
    if (after > 7168) after = 7168;
    std::int32_t before = 8192 - after;
    if (before > sharedPrefixLength) before = sharedPrefixLength;
    return WindowPreset{after + before, sharedPrefixLength - before};
}

}  // namespace quorvel::format
