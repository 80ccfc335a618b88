#include "format/window_preset.hpp"
#include "support/parts.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace quorvel {
namespace {

TEST(WindowPresetTest, WorkedExamples) {
    struct Row {
        std::int32_t slotLength, prefix, presetLength, presetStart;
    };
    const Row rows[] = {
        {16384, 0, 7168, 0},     {16384, 1000, 8168, 0}, {16384, 12000, 8192, 8192}, {16384, 16384, 8192, 8192},
        {9000, 4000, 8192, 808}, {5000, 100, 5000, 0},   {3000, 3000, 3000, 0},      {6, 6, 6, 0},
    };
    for (const Row& row : rows) {
        WindowPreset preset = ComputeWindowPreset(row.slotLength, row.prefix);
        EXPECT_EQ(preset.PresetLength, row.presetLength) << row.slotLength << " " << row.prefix;
        EXPECT_EQ(preset.PresetStart, row.presetStart) << row.slotLength << " " << row.prefix;
    }
}

// The Expander copies the preset out of the referenced slot, so it must lie inside the
// slot's stored bytes for any slot length and any 16-bit prefix length, even the ones that
// break the archive's rules.
TEST(WindowPresetTest, AlwaysLiesInsideTheSlotAndFitsTheWindow) {
    for (std::int32_t slotLength = 0; slotLength <= 16384; slotLength += (slotLength < 40 ? 1 : 97)) {
        for (std::int32_t prefix = 0; prefix <= 65535; prefix += (prefix < 40 ? 1 : 89)) {
            WindowPreset preset = ComputeWindowPreset(slotLength, prefix);
            ASSERT_GE(preset.PresetLength, 0);
            ASSERT_LE(preset.PresetLength, 8192);
            ASSERT_GE(preset.PresetStart, 0);
            ASSERT_LE(preset.PresetStart + preset.PresetLength, slotLength) << slotLength << " " << prefix;
            if (prefix <= slotLength) {
                ASSERT_EQ(preset.PresetStart + preset.PresetLength, std::min(slotLength, prefix + 7168));
            }
        }
    }
}

}  // namespace
}  // namespace quorvel
