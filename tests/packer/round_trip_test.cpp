#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "format/window_preset.hpp"
#include "packer/compress.hpp"
#include "packer/item_encoder.hpp"
#include "packer/parse_by_effort.hpp"
#include "round_trip_fixture.hpp"
#include "support/expand_memory.hpp"

namespace quorvel {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Text(std::size_t size) {
    static const char* const kWords[] = {"the ", "window ", "slides ", "over ", "bytes ", "and ", "codes ",
                                         "adapt ", "to ", "counts ", "\n", "archive ", "file "};
    std::mt19937 random(7);
    Bytes text;
    while (text.size() < size) {
        const char* word = kWords[random() % std::size(kWords)];
        text.insert(text.end(), word, word + std::char_traits<char>::length(word));
    }
    text.resize(size);
    return text;
}

// Produces the bytes the items stand for, straight from their definition.
Bytes Apply(std::span<const std::uint8_t> preset, std::span<const Item> items) {
    Bytes all(preset.begin(), preset.end());
    for (const Item& item : items) {
        if (item.IsLiteral()) {
            all.push_back(item.Literal);
            continue;
        }
        for (std::uint32_t i = 0; i < item.MatchLength; ++i) all.push_back(all[all.size() - item.MatchDistance]);
    }
    return Bytes(all.begin() + static_cast<std::ptrdiff_t>(preset.size()), all.end());
}

using RoundTripTest = RoundTripFixture;

TEST_F(RoundTripTest, VariedData) {
    EXPECT_LT(ExpectRoundTrip(Text(30000)), 30000u / 2);
    ExpectRoundTrip(RandomBytes(20000, 1));
    ExpectRoundTrip(Bytes(1, 'x'));
    EXPECT_LT(ExpectRoundTrip(Bytes(200000, 0)), 200u);
    Bytes runs;
    for (int i = 0; i < 300; ++i) runs.insert(runs.end(), static_cast<std::size_t>(i * 53 % 700 + 1), static_cast<std::uint8_t>(i));
    ExpectRoundTrip(runs);
}

TEST_F(RoundTripTest, LargeInputsCrossSlidesAndLaterRebuildPoints) {
    Bytes mixed = Text(60000);
    Bytes noise = RandomBytes(50000, 2);
    mixed.insert(mixed.end(), noise.begin(), noise.end());  // > 100000 bytes, > 5120 symbols
    ExpectRoundTrip(mixed);
    ExpectRoundTrip(Text(45000));  // just over one window
    // Matches after thousands of literals: the distance tree is not rebuilt while no
    // distance is counted, which must give the trees the encoder has.
    Bytes literalsFirst = RandomBytes(12000, 5);
    Bytes text = Text(20000);
    literalsFirst.insert(literalsFirst.end(), text.begin(), text.end());
    ExpectRoundTrip(literalsFirst);
}

TEST_F(RoundTripTest, EveryEffortLevel) {
    Bytes data = Text(20000);
    Bytes noise = RandomBytes(3000, 3);
    data.insert(data.begin() + 5000, noise.begin(), noise.end());
    for (int effort = kMinEffort; effort <= kMaxEffort; ++effort) ExpectRoundTrip(data, {}, effort);
}

// Every length class and the extreme distances, forced as explicit items, many times over
// so that the trees adapt to them through several rebuilds.
TEST_F(RoundTripTest, EveryLengthAndDistanceClass) {
    std::mt19937 random(11);
    Bytes preset = RandomBytes(8192, 4);
    std::vector<Item> items;
    std::size_t produced = 0;
    for (int i = 0; i < 6000; ++i) {
        std::uint32_t length = i % 4 == 0   ? 2 + random() % 255            // short symbol
                               : i % 4 == 1 ? 257 + random() % 4096         // long, 12 extra bits
                               : i % 4 == 2 ? (i % 8 == 2 ? 4352 : 256)     // both ends
                                            : 0;                            // literal
        if (length == 0) {
            items.push_back(LiteralItem(static_cast<std::uint8_t>(random())));
            ++produced;
            continue;
        }
        std::uint32_t distance = i % 3 == 0 ? 8192 : 1 + random() % 8192;
        items.push_back(MatchItem(length, std::min<std::size_t>(distance, preset.size() + produced)));
        produced += length;
    }
    Bytes compressed = EncodeItems(items);
    ExpandedData expanded = ExpandFileData(*storage, preset, compressed, static_cast<std::int32_t>(produced));
    EXPECT_TRUE(expanded.bytes == Apply(preset, items));
    EXPECT_EQ(expanded.compressedUsed, compressed.size());
}

// A file that starts from an earlier file's history slot: the prefix comes from the slot,
// the window is preset from it, and the new slot ends up holding the new file's first bytes.
TEST_F(RoundTripTest, PresetFromAReferencedSlot) {
    Bytes earlier = Text(20000);
    HistorySlot& referenced = storage->History.Slots[3];
    HistorySlot& current = storage->History.Slots[4];
    referenced.SlotLength = kSlotSize;
    std::copy_n(earlier.begin(), kSlotSize, referenced.SlotData);
    for (std::int32_t prefix : {0, 1000, 12000, 16384}) {
        Bytes later(earlier.begin(), earlier.begin() + prefix);
        Bytes tail = Text(prefix < 2000 ? 15000 : 9000);
        std::reverse(tail.begin(), tail.end());
        later.insert(later.end(), earlier.begin() + prefix, earlier.begin() + std::min(prefix + 3000, 20000));
        later.insert(later.end(), tail.begin(), tail.end());

        WindowPreset preset = ComputeWindowPreset(referenced.SlotLength, prefix);
        Bytes presetBytes(referenced.SlotData + preset.PresetStart,
                          referenced.SlotData + preset.PresetStart + preset.PresetLength);
        Bytes rest(later.begin() + prefix, later.end());
        Bytes compressed = CompressFileData(presetBytes, rest, 6);
        EXPECT_LT(compressed.size(), rest.size() / 2);

        std::copy_n(referenced.SlotData, prefix, current.SlotData);
        ExpandOptions options;
        options.sharedPrefixLength = prefix;
        options.currentSlot = &current;
        ExpandedData expanded = ExpandFileData(*storage, presetBytes, compressed, static_cast<std::int32_t>(rest.size()), options);
        EXPECT_TRUE(expanded.bytes == rest) << prefix;
        std::size_t captured = std::min<std::size_t>(later.size(), kSlotSize);
        EXPECT_TRUE(std::equal(later.begin(), later.begin() + captured, current.SlotData)) << prefix;
    }
}

TEST_F(RoundTripTest, FoundItemsStayWithinTheFormatAndTheReach) {
    Bytes preset = Text(8192);
    Bytes data = Text(70000);
    std::vector<Item> items = FindItems(preset, data, 9);
    std::size_t produced = 0;
    for (const Item& item : items) {
        if (!item.IsLiteral()) {
            ASSERT_GE(item.MatchLength, 2);
            ASSERT_LE(item.MatchLength, 4352);
            ASSERT_GE(item.MatchDistance, 1);
            ASSERT_LE(item.MatchDistance, std::min<std::size_t>(8192, preset.size() + produced));
        }
        produced += item.Size();
    }
    EXPECT_EQ(produced, data.size());
    EXPECT_TRUE(Apply(preset, items) == data);
    EXPECT_EQ(FindItems({}, Bytes(9000, 'a'), 5).size(), 4u);  // a literal, then long matches
}

}  // namespace
}  // namespace quorvel
