#include "decoder/sliding_window.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "decoder/decoder_storage.hpp"
#include "support/memory_host.hpp"
#include "support/parts.hpp"

namespace quorvel {
namespace {

class SlidingWindowTest : public ::testing::Test {
protected:
    // Starts an entry whose preset holds bytes 0x80 + i % 64, then produces `count` bytes
    // i % 251 through EmitByte.
    void Produce(std::int32_t presetLength, std::int32_t count, std::int32_t sharedPrefixLength = 0,
                 bool skip = false) {
        for (std::int32_t i = 0; i < presetLength; ++i) window.Bytes[i] = static_cast<std::uint8_t>(0x80 + i % 64);
        StartWindow(window, presetLength, sharedPrefixLength, &slot, skip);
        for (std::int32_t i = 0; i < count; ++i) EmitByte(window, host, Produced(i));
    }

    static std::uint8_t Produced(std::int32_t i) { return static_cast<std::uint8_t>(i % 251); }

    void ExpectOutputIsProducedBytes(std::int32_t count) {
        ASSERT_EQ(host.Output().size(), static_cast<std::size_t>(count));
        for (std::int32_t i = 0; i < count; ++i) ASSERT_EQ(host.Output()[i], Produced(i)) << i;
    }

    std::unique_ptr<DecoderStorage> storage = std::make_unique<DecoderStorage>();
    SlidingWindow& window = storage->Window;
    HistorySlot& slot = storage->History.Slots[7];
    MemoryHost host{{}};
};

TEST_F(SlidingWindowTest, WithoutPresetWritesTwoFullPiecesAndTheRest) {
    Produce(0, 100000);
    EXPECT_EQ(host.PieceSizes(), (std::vector<std::uint32_t>{32768, 32768}));
    FlushWindow(window, host);
    EXPECT_EQ(host.PieceSizes(), (std::vector<std::uint32_t>{32768, 32768, 34464}));
    ExpectOutputIsProducedBytes(100000);
}

TEST_F(SlidingWindowTest, PresetShortensTheFirstPieceAndIsNeverWritten) {
    Produce(8192, 100000);
    FlushWindow(window, host);
    EXPECT_EQ(host.PieceSizes(), (std::vector<std::uint32_t>{24576, 32768, 32768, 9888}));
    ExpectOutputIsProducedBytes(100000);
}

TEST_F(SlidingWindowTest, SlidesOnlyWhenAByteArrivesForAFullWindow) {
    Produce(3000, 40960 - 3000);
    EXPECT_TRUE(host.PieceSizes().empty());
    FlushWindow(window, host);
    EXPECT_EQ(host.PieceSizes(), (std::vector<std::uint32_t>{37960}));

    MemoryHost other{{}};
    StartWindow(window, 0, 0, nullptr, false);
    for (int i = 0; i < 40960; ++i) EmitByte(window, other, 1);
    FlushWindow(window, other);
    EXPECT_EQ(other.PieceSizes(), (std::vector<std::uint32_t>{40960}));
}

TEST_F(SlidingWindowTest, NothingProducedWritesNothing) {
    Produce(5000, 0);
    FlushWindow(window, host);
    EXPECT_TRUE(host.PieceSizes().empty());
}

TEST_F(SlidingWindowTest, SkippedEntryWritesNothingButFillsItsSlot) {
    Produce(0, 50000, 0, true);
    EXPECT_EQ(window.WindowBase, 32768);  // it slid once
    FlushWindow(window, host);
    EXPECT_TRUE(host.Output().empty());
    for (int i = 0; i < kSlotSize; ++i) ASSERT_EQ(slot.SlotData[i], Produced(i)) << i;
}

TEST_F(SlidingWindowTest, CaptureStartsAtTheSharedPrefixAndEndsAtTheSlotEnd) {
    std::memset(slot.SlotData, 0xEE, sizeof slot.SlotData);
    Produce(8168, 20000, 1000);
    CaptureHistory(window, window.WritePosition - window.WindowBase);
    EXPECT_EQ(slot.SlotData[999], 0xEE);  // the prefix part is not the window's to fill
    for (int i = 0; i < 15384; ++i) ASSERT_EQ(slot.SlotData[1000 + i], Produced(i)) << i;

    // Before the first slide, capture takes only what has been produced.
    std::memset(slot.SlotData, 0xEE, sizeof slot.SlotData);
    Produce(100, 500, 1000);
    CaptureHistory(window, window.WritePosition - window.WindowBase);
    EXPECT_EQ(slot.SlotData[1499], Produced(499));
    EXPECT_EQ(slot.SlotData[1500], 0xEE);

    std::memset(slot.SlotData, 0xEE, sizeof slot.SlotData);
    Produce(8192, 20000, kSlotSize);
    CaptureHistory(window, window.WritePosition - window.WindowBase);
    for (int i = 0; i < kSlotSize; ++i) ASSERT_EQ(slot.SlotData[i], 0xEE) << i;
}

TEST_F(SlidingWindowTest, ByteBackReachesThePresetAndAcrossTheSlide) {
    Produce(8192, 0);
    EXPECT_EQ(ByteBack(window, 8192), 0x80);  // window index 0, the first preset byte
    EXPECT_EQ(ByteBack(window, 1), 0x80 + 8191 % 64);

    // A distance-8192 copy running into the slide: its source moves from index 32768 to 1.
    Produce(0, 40960);
    std::uint8_t beforeSlide = ByteBack(window, 8192);
    EXPECT_EQ(beforeSlide, window.Bytes[32768]);
    EmitByte(window, host, beforeSlide);
    EXPECT_EQ(window.WindowBase, 32768);
    EXPECT_EQ(ByteBack(window, 8192), window.Bytes[1]);
    EXPECT_EQ(ByteBack(window, 8192), Produced(32769));
}

}  // namespace
}  // namespace quorvel
