// The archive's size limit: a self-extracting file is written up to 2^31 - 1 bytes, and the
// write that would pass that is refused before any byte of it reaches the file. An
// Expander large enough to bring the file near the limit stands in front: mapped memory
// never touched, as the output here only counts what it is handed.
#include "packer/archive_writer.hpp"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

#include "format/archive_format.hpp"
#include "format/little_endian.hpp"
#include "support/parts.hpp"

namespace quorvel {
namespace {

class SizeLimitTest : public ::testing::Test {
protected:
    void SetUp() override {
        mapping_ = mmap(nullptr, kSizeLimit, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        ASSERT_NE(mapping_, MAP_FAILED);
    }
    void TearDown() override {
        if (mapping_ != MAP_FAILED) munmap(mapping_, kSizeLimit);
    }
    // An Expander of the size that leaves `spare` bytes below the limit behind the header.
    std::span<const std::uint8_t> StubLeaving(std::size_t spare) const {
        const std::size_t header = BuildHeader({}).size();
        return {static_cast<const std::uint8_t*>(mapping_), kSizeLimit - header - spare};
    }

    void* mapping_ = MAP_FAILED;
};

TEST_F(SizeLimitTest, TheWriteThatWouldReachTwoGigabytesIsRefused) {
    enum class Refused { Never, InAppend, InFinish };
    const struct {
        std::size_t spare;    // bytes the file may still grow by behind the header
        std::size_t payload;  // bytes of payload appended
        Refused refused;
    } cases[] = {
        // One full block, then a last one of one data byte and its check: the file ends
        // exactly at the limit.
        {kBlockSize + 3, kBlockDataSize + 1, Refused::Never},
        {kBlockSize + 2, kBlockDataSize + 1, Refused::InFinish},
        {kBlockSize - 1, kBlockDataSize, Refused::InAppend},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.spare);
        std::uint64_t written = 0;
        std::vector<std::uint8_t> totalSize;
        ArchiveWriter writer(StubLeaving(c.spare), {},
                             {[&](std::span<const std::uint8_t> bytes) { written += bytes.size(); },
                              [&](std::uint64_t, std::span<const std::uint8_t> bytes) {
                                  totalSize.assign(bytes.begin(), bytes.end());
                              }});
        const std::uint64_t before = written;
        const std::vector<std::uint8_t> payload(c.payload, 'p');
        Refused refused = Refused::Never;
        try {
            writer.Append(payload);
            refused = Refused::InFinish;
            writer.Finish();
            refused = Refused::Never;
        } catch (const std::length_error& error) {
            if (refused == Refused::Never) refused = Refused::InAppend;
            EXPECT_STREQ(error.what(), "the archive would reach 2^31 bytes");
        }
        EXPECT_EQ(refused, c.refused);
        EXPECT_LE(written, kSizeLimit);
        EXPECT_EQ(writer.Size(), written);
        if (c.refused == Refused::Never) {
            EXPECT_EQ(written, kSizeLimit);
            ASSERT_EQ(totalSize.size(), kTotalSizeBytes);
            EXPECT_EQ(LoadLittleEndian(totalSize.data(), kTotalSizeBytes), kSizeLimit);
        } else {
            EXPECT_TRUE(totalSize.empty());
            // Nothing of the refused block was written.
            EXPECT_EQ(written, before + (c.refused == Refused::InFinish ? kBlockSize : 0));
        }
    }
}

}  // namespace
}  // namespace quorvel
