#include "decoder/decode_file_data.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "packer/compress.hpp"
#include "packer/item_encoder.hpp"
#include "support/bit_strings.hpp"
#include "support/expand_memory.hpp"
#include "support/memory_host.hpp"

namespace quorvel {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

class DecodeFileDataTest : public ::testing::Test {
protected:
    std::unique_ptr<DecoderStorage> storage = MakeDecoderStorage();
};

TEST_F(DecodeFileDataTest, AbababIsTwoLiteralsAndAMatchInFiveBytes) {
    Bytes data{0xAE, 0x5D, 0xAC, 0x50, 0x15, 0x99};
    ExpandedData result = ExpandFileData(*storage, {}, data, 6);
    EXPECT_EQ(result.bytes, ToBytes("ABABAB"));
    EXPECT_EQ(result.compressedUsed, 5u);
}

TEST_F(DecodeFileDataTest, AbEndsInsideItsThirdByteAndTheNextRecordStartsAtTheFourth) {
    for (std::uint8_t third : {0x00, 0xFC}) {
        Bytes data{0xAE, 0x5D, third, 0x42};
        ExpandedData result = ExpandFileData(*storage, {}, data, 2);
        EXPECT_EQ(result.bytes, ToBytes("AB"));
        EXPECT_EQ(result.compressedUsed, 3u);
    }
}

TEST_F(DecodeFileDataTest, FileStartingFromAnEarlierOneMatchesIntoThePreset) {
    // DOCS\B.TXT of the small archive: preset ABABAB, one match of length 2 at distance 2.
    Bytes data{0xAB, 0x54, 0x05};
    ExpandedData result = ExpandFileData(*storage, ToBytes("ABABAB"), data, 2);
    EXPECT_EQ(result.bytes, ToBytes("AB"));
    EXPECT_EQ(result.compressedUsed, 3u);
}

TEST_F(DecodeFileDataTest, NothingToProduceReadsNothing) {
    Bytes data{0xAE};
    for (std::int32_t size : {0, -5}) {
        ExpandedData result = ExpandFileData(*storage, ToBytes("xyz"), data, size);
        EXPECT_TRUE(result.bytes.empty());
        EXPECT_EQ(result.compressedUsed, 0u);
    }
}

TEST_F(DecodeFileDataTest, DataCutShortNeedsMoreBytes) {
    Bytes data{0xAE, 0x5D, 0xAC};
    EXPECT_THROW(ExpandFileData(*storage, {}, data, 6), DataEndError);
}

// Both kinds of impossible match stop the entry before any byte of the match is stored.
TEST_F(DecodeFileDataTest, MatchReachingInFrontOfTheWindowIsBroken) {
    std::memset(storage->Window.Bytes, 0x5A, sizeof storage->Window.Bytes);
    Bytes first = EncodeItems(std::vector<Item>{MatchItem(4, 1)});
    EXPECT_THROW(ExpandFileData(*storage, {}, first, 4), BrokenDataError);
    EXPECT_EQ(storage->Window.Bytes[0], 0x5A);

    Item reachBack[] = {LiteralItem('a'), LiteralItem('b'), MatchItem(3, 8)};
    Bytes withPreset = EncodeItems(reachBack);
    EXPECT_THROW(ExpandFileData(*storage, ToBytes("12345"), withPreset, 5), BrokenDataError);
    EXPECT_EQ(storage->Window.Bytes[7], 0x5A);
    Bytes withLongerPreset = EncodeItems(reachBack);
    EXPECT_EQ(ExpandFileData(*storage, ToBytes("123456"), withLongerPreset, 5).bytes, ToBytes("ab123"));

    Item farthest[] = {MatchItem(2, 8192)};
    Bytes preset(8191, 'p');
    EXPECT_THROW(ExpandFileData(*storage, preset, EncodeItems(farthest), 2), BrokenDataError);
    preset.push_back('q');
    EXPECT_EQ(ExpandFileData(*storage, preset, EncodeItems(farthest), 2).bytes, ToBytes("pp"));
}

TEST_F(DecodeFileDataTest, MatchRunningPastTheRemainingSizeIsBroken) {
    Item items[] = {LiteralItem('z'), MatchItem(4352, 1)};
    Bytes data = EncodeItems(items);
    EXPECT_THROW(ExpandFileData(*storage, {}, data, 4352), BrokenDataError);
    EXPECT_EQ(ExpandFileData(*storage, {}, data, 4353).bytes, Bytes(4353, 'z'));
}

// The host lends bytes only up to the end of its current buffer. Whatever the buffer
// size and wherever the data starts in it, the decoder must stop exactly at the data's
// last byte and leave the next record alone.
TEST_F(DecodeFileDataTest, EndsAtTheDataEndWhereverTheHostsBuffersEnd) {
    Bytes text;
    for (int i = 0; text.size() < 5000; ++i) {
        std::string word = "entry " + std::to_string(i * 37 % 101) + (i % 3 ? " alpha " : " beta ");
        text.insert(text.end(), word.begin(), word.end());
    }
    Bytes data = CompressFileData({}, text, 5);
    Bytes header{1, 2, 3, 4, 5, 6, 7};
    Bytes input = header;
    input.insert(input.end(), data.begin(), data.end());
    input.insert(input.end(), {0xC3, 0x3C, 0x55});  // the next record
    for (std::size_t bufferSize : {1, 2, 3, 5, 8, 9, 13, 64, 4096}) {
        for (std::size_t skip : {std::size_t{0}, std::size_t{3}, header.size()}) {
            MemoryHost host{std::span<const std::uint8_t>(input).subspan(header.size() - skip), bufferSize};
            for (std::size_t i = 0; i < skip; ++i) host.NextByte();
            StartWindow(storage->Window, 0, 0, nullptr, false);
            DecodeFileData(*storage, host, static_cast<std::int32_t>(text.size()));
            FlushWindow(storage->Window, host);
            ASSERT_EQ(host.Output(), text) << bufferSize << " " << skip;
            ASSERT_EQ(host.Position(), skip + data.size()) << bufferSize << " " << skip;
            ASSERT_EQ(host.NextByte(), 0xC3);
        }
    }
}

// The fast loop decodes whole items from lent bytes and leaves the rest to the careful loop.
// Both must take the same bits and give the same bytes, in the same pieces: on skewed text
// (long codes that leave the fast loop), random bytes, runs and long matches across the
// window's slide point, at the lowest and highest effort, in buffers large and small.
TEST_F(DecodeFileDataTest, FastAndCarefulLoopsDecodeAlike) {
    std::mt19937 random(7);
    Bytes text;
    for (int i = 0; text.size() < 60000; ++i) {
        std::string word = (i % 97 == 0 ? std::string(1, static_cast<char>(random())) : "") + "w" +
                           std::to_string(i * 37 % 211) + (i % 5 ? " " : ", ");
        text.insert(text.end(), word.begin(), word.end());
    }
    for (int i = 0; i < 30000; ++i) text.push_back(static_cast<std::uint8_t>(random()));
    text.insert(text.end(), 50000, 'z');
    const Bytes tail(text.end() - 20000, text.end() - 5000);
    text.insert(text.end(), tail.begin(), tail.end());
    for (int effort : {1, 9}) {
        const Bytes data = CompressFileData({}, text, effort);
        for (std::size_t bufferSize : {std::size_t{7}, std::size_t{9}, std::size_t{4096}, data.size()}) {
            MemoryHost fast(data, bufferSize);
            CarefulMemoryHost careful(data, bufferSize);
            StartWindow(storage->Window, 0, 0, nullptr, false);
            DecodeFileData(*storage, fast, static_cast<std::int32_t>(text.size()));
            FlushWindow(storage->Window, fast);
            StartWindow(storage->Window, 0, 0, nullptr, false);
            DecodeFileData(*storage, careful, static_cast<std::int32_t>(text.size()));
            FlushWindow(storage->Window, careful);
            ASSERT_EQ(fast.Output(), text) << effort << " " << bufferSize;
            ASSERT_EQ(careful.Output(), text) << effort << " " << bufferSize;
            EXPECT_EQ(fast.Position(), data.size());
            EXPECT_EQ(careful.Position(), data.size());
            EXPECT_EQ(fast.PieceSizes(), careful.PieceSizes());
        }
    }
}

}  // namespace
}  // namespace quorvel
