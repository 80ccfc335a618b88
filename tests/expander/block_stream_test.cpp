// The block reader over real files, with the process end turned into an exception so that
// failures can be examined: the exit code and every byte printed.
#include "expander/archive/block_stream.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "expander/archive/open_archive.hpp"
#include "expander/console/console.hpp"
#include "format/crc16.hpp"
#include "packer/archive_writer.hpp"
#include "support/parts.hpp"

namespace quorvel {
namespace {

using namespace quorvel::expander;

struct ProcessEnded {
    std::uint32_t code;
};

void ThrowProcessEnded(std::uint32_t code) { throw ProcessEnded{code}; }

using Bytes = std::vector<std::uint8_t>;

Bytes Counting(std::size_t n) {
    Bytes bytes(n);
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    return bytes;
}

class BlockStreamTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // FatalExit waits for a line; the end of input lets it return at once.
        const int empty = open("/dev/null", O_RDONLY);
        dup2(empty, 0);
        close(empty);
    }

    void SetUp() override {
        SetProcessEndHook(ThrowProcessEnded);
        ResetConsole();
        path_ = std::filesystem::temp_directory_path() /
                ("quorvel-blocks-" + std::to_string(getpid()) + ".bin");
    }

    void TearDown() override {
        CloseFile(ArchiveFile);
        std::filesystem::remove(path_);
        SetProcessEndHook(nullptr);
    }

    void Open(const Bytes& stream, const std::string& password = "") {
        std::ofstream(path_, std::ios::binary)
            .write(reinterpret_cast<const char*>(stream.data()), static_cast<std::streamsize>(stream.size()));
        ASSERT_TRUE(OpenForReading(ArchiveFile, path_.c_str()));
        FillCrc16Tables(CheckTables);  // as opening the archive does
        StreamPosition = 0;
        BytesLeft = static_cast<std::int32_t>(stream.size());
        BlockDataCount = 0;
        EndOfArchive = false;
        Scrambled = !password.empty();
        KeyIndex = 1;
        Password.Clear();
        for (char c : password) Password.Append(c);
    }

    // Reads n bytes, checking that EndOfArchive rises exactly with byte number raisedAt
    // (1-based; 0 for never).
    Bytes Read(std::size_t n, std::size_t raisedAt = 0) {
        Bytes out;
        for (std::size_t i = 1; i <= n; ++i) {
            out.push_back(ArchiveByteReader());
            EXPECT_EQ(EndOfArchive, raisedAt != 0 && i >= raisedAt) << "after byte " << i;
        }
        return out;
    }

    // The next request must end the process: returns what it printed.
    std::string ExpectEnd(std::uint32_t code) {
        testing::internal::CaptureStdout();
        std::uint32_t ended = 0;
        try {
            ArchiveByteReader();
        } catch (const ProcessEnded& end) {
            ended = end.code;
        }
        std::string printed = testing::internal::GetCapturedStdout();
        EXPECT_EQ(ended, code);
        return printed;
    }

    std::filesystem::path path_;
};

const std::string kReadError = "File read error.\r\nPress Enter key.\a\r\n";
const std::string kBroken = "This file is broken.\r\nPress Enter key.\a\r\n";

TEST_F(BlockStreamTest, OneBytePayloadIsOneBlockOfThreeBytes) {
    const Bytes stream = BuildBlockStream(Bytes{0x41}, "");
    ASSERT_EQ(stream.size(), 3u);
    Open(stream);
    EXPECT_EQ(Read(1, 1), Bytes{0x41});
    EXPECT_EQ(ExpectEnd(2), kReadError);
}

TEST_F(BlockStreamTest, FullBlockRaisesTheEndWithItsLastByte) {
    const Bytes payload = Counting(4096);
    Open(BuildBlockStream(payload, ""));
    EXPECT_EQ(Read(4096, 4096), payload);
    EXPECT_EQ(ExpectEnd(2), kReadError);
}

TEST_F(BlockStreamTest, ByteAfterAFullBlockRaisesTheEndNotTheFullBlock) {
    const Bytes payload = Counting(4097);
    const Bytes stream = BuildBlockStream(payload, "");
    ASSERT_EQ(stream.size(), 4098u + 3u);
    Open(stream);
    EXPECT_EQ(Read(4097, 4097), payload);
    EXPECT_EQ(ExpectEnd(2), kReadError);
}

TEST_F(BlockStreamTest, ShortLastBlockStoresItsCheckHighByteFirst) {
    EXPECT_EQ(BuildBlockStream(Bytes{'a', 'b', 'c'}, ""), (Bytes{0x61, 0x62, 0x63, 0xCA, 0xDB}));
}

TEST_F(BlockStreamTest, DamagedSecondBlockStopsAfterTheWholeFirstBlock) {
    const Bytes payload = Counting(6000);
    Bytes stream = BuildBlockStream(payload, "");
    stream[4098 + 100] ^= 0x04;
    Open(stream);
    EXPECT_EQ(Read(4096), Bytes(payload.begin(), payload.begin() + 4096));
    EXPECT_EQ(ExpectEnd(2), kBroken);
}

TEST_F(BlockStreamTest, DamagedCheckByteIsBroken) {
    Bytes stream = BuildBlockStream(Counting(10), "");
    stream.back() ^= 0x01;
    Open(stream);
    EXPECT_EQ(ExpectEnd(2), kBroken);
}

// What a short read at the end of the file gives, after one full block.
struct ShortBlock {
    Bytes tail;
    std::string printed;
};

class ShortBlockTest : public BlockStreamTest, public ::testing::WithParamInterface<ShortBlock> {};

TEST_P(ShortBlockTest, EndsAsTheCountDecides) {
    const Bytes payload = Counting(4096);
    Bytes stream = BuildBlockStream(payload, "");
    stream.insert(stream.end(), GetParam().tail.begin(), GetParam().tail.end());
    Open(stream);
    // Only a full block that ends the file is the last one.
    EXPECT_EQ(Read(4096, GetParam().tail.empty() ? 4096 : 0), payload);
    EXPECT_EQ(ExpectEnd(2), GetParam().printed);
}

INSTANTIATE_TEST_SUITE_P(Counts, ShortBlockTest,
                         ::testing::Values(ShortBlock{{}, kReadError},
                                           ShortBlock{{0x00}, kReadError},
                                           ShortBlock{{0x07}, kBroken},
                                           ShortBlock{{0x00, 0x00}, kReadError},
                                           ShortBlock{{0x00, 0x01}, kBroken},
                                           ShortBlock{{0x80, 0x00}, kBroken}));

TEST_F(BlockStreamTest, ScrambledBytesRunOnThroughThePasswordAcrossBlocks) {
    const Bytes payload = Counting(5000);
    const Bytes stream = BuildBlockStream(payload, "xyz");
    // Payload bytes 0..3 use password characters 1, 2, 3, 1; byte 4096 uses character 2.
    EXPECT_EQ(stream[0], payload[0] ^ 'x');
    EXPECT_EQ(stream[1], payload[1] ^ 'y');
    EXPECT_EQ(stream[2], payload[2] ^ 'z');
    EXPECT_EQ(stream[3], payload[3] ^ 'x');
    EXPECT_EQ(stream[4098], payload[4096] ^ 'y');
    // The check bytes are plain and cover the plain data.
    const std::uint16_t check = Crc16(payload.data(), 4096);
    EXPECT_EQ(stream[4096], check >> 8);
    EXPECT_EQ(stream[4097], check & 0xFF);
    Open(stream, "xyz");
    EXPECT_EQ(Read(5000, 5000), payload);
}

TEST_F(BlockStreamTest, WrongKeyFailsTheFirstBlockCheck) {
    Open(BuildBlockStream(Counting(100), "xyz"), "xya");
    EXPECT_EQ(ExpectEnd(2), kBroken);
}

}  // namespace
}  // namespace quorvel
