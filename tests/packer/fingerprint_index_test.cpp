#include "packer/fingerprint_index.hpp"
#include "support/parts.hpp"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace quorvel::tool {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Region = FingerprintIndex::Region;

Bytes Noise(std::size_t size, std::uint32_t seed) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(random());
    return bytes;
}

Region Everywhere() {
    return Region{0, 16384, 0, 16384};
}

TEST(FingerprintIndexTest, TheFileHoldingTheNewFilesRunsScoresHighest) {
    FingerprintIndex index;
    const Bytes shared = Noise(4000, 1);
    Bytes holder = Noise(3000, 2);
    holder.insert(holder.end(), shared.begin(), shared.end());
    index.Add(holder);             // 2 back
    index.Add(Noise(8000, 3));     // 1 back
    Bytes wanted = Noise(1000, 4);
    wanted.insert(wanted.end(), shared.begin(), shared.begin() + 2000);
    const std::vector<std::uint32_t> runs = index.SharedRuns(wanted, {Everywhere(), Everywhere()});
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0], 0u);
    // About one run in 16 of the 1993 shared ones is sampled.
    EXPECT_GT(runs[1], 60u);
    EXPECT_LT(runs[1], 200u);
}

TEST(FingerprintIndexTest, OnlyRunsInsideBothRegionsCount) {
    FingerprintIndex index;
    const Bytes file = Noise(12000, 5);
    index.Add(file);
    const std::uint32_t all = index.SharedRuns(file, {Everywhere()})[0];
    const std::uint32_t firstHalf = index.SharedRuns(file, {Region{0, 6000, 0, 16384}})[0];
    const std::uint32_t secondHalf = index.SharedRuns(file, {Region{0, 16384, 6000, 12000}})[0];
    EXPECT_GT(firstHalf, 0u);
    EXPECT_GT(secondHalf, 0u);
    EXPECT_LE(firstHalf + secondHalf, all + 1);  // a run across offset 6000 counts in neither
    EXPECT_GE(firstHalf + secondHalf + 2, all);
    EXPECT_EQ(index.SharedRuns(file, {Region{0, 6000, 6000, 12000}})[0], 0u);  // distinct noise
}

// A run that stands in a file many times counts by where it first stands, in the earlier
// file and in the new one alike: a stretch of zeros, sampled at every position, behind
// noise in the earlier file and from the start in the new one.
TEST(FingerprintIndexTest, ARepeatedRunCountsWhereItFirstStands) {
    Bytes earlier = Noise(1000, 5);
    for (std::uint8_t& byte : earlier) byte |= 1;
    earlier.resize(4000, 0);
    FingerprintIndex index;
    index.Add(earlier);
    const Bytes zeros(3000, 0);
    EXPECT_EQ(index.SharedRuns(zeros, {Region{0, 4000, 0, 3000}})[0], 1u);
    EXPECT_EQ(index.SharedRuns(zeros, {Region{0, 4000, 1, 3000}})[0], 0u);
    EXPECT_EQ(index.SharedRuns(zeros, {Region{1001, 4000, 0, 3000}})[0], 0u);
}

TEST(FingerprintIndexTest, AFileIsForgottenAfter255More) {
    FingerprintIndex index;
    const Bytes file = Noise(5000, 6);
    index.Add(file);
    for (std::uint32_t i = 0; i < 254; ++i) index.Add(Noise(100, 100 + i));
    std::vector<Region> regions(255, Everywhere());
    EXPECT_GT(index.SharedRuns(file, regions)[254], 0u);
    index.Add(Noise(100, 99));
    const std::vector<std::uint32_t> runs = index.SharedRuns(file, regions);
    for (std::uint32_t count : runs) EXPECT_EQ(count, 0u);
}

}  // namespace
}  // namespace quorvel::tool
