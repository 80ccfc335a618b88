// Each file's compression tells its hook, from the worker thread that compresses it, how far
// it has come: counts that rise through the file, over every pass of every effort, and end
// at the file's size with a shared prefix counted.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "packer/payload_pipeline.hpp"
#include "support/parts.hpp"

namespace quorvel::tool {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(CompressProgressTest, CountsRiseThroughTheFileToItsSize) {
    std::mt19937 random(5);
    Bytes first(std::size_t{1} << 20);
    for (std::uint8_t& byte : first) byte = static_cast<std::uint8_t>('a' + random() % 8);
    Bytes second = first;
    second[600000] ^= 1;
    const std::uint32_t prefix = 16384;
    for (int effort : {1, 6, 9}) {
        SCOPED_TRACE(effort);
        EntryWriter writer(effort);
        PayloadPipeline pipeline(writer, effort, 2, [](const Bytes&) {});
        std::vector<std::size_t> told[2];
        PreparedFile a = writer.PrepareFile("a", {}, first, {});
        a.progress = [&](std::size_t done) { told[0].push_back(done); };
        PreparedFile b = writer.PrepareFile("b", {}, second, {1, prefix});
        b.progress = [&](std::size_t done) { told[1].push_back(done); };
        pipeline.AddFile(std::move(a));
        pipeline.AddFile(std::move(b));
        pipeline.Finish();  // the compressions are done, and seen done, from here on
        for (const std::vector<std::size_t>& counts : told) {
            ASSERT_FALSE(counts.empty());
            EXPECT_TRUE(std::is_sorted(counts.begin(), counts.end()));
            EXPECT_EQ(counts.back(), first.size());
            const auto inside = std::count_if(counts.begin(), counts.end(),
                                              [&](std::size_t done) { return done > 0 && done < first.size(); });
            EXPECT_GE(inside, 3);
        }
        EXPECT_GE(told[1].front(), prefix);
    }
}

}  // namespace
}  // namespace quorvel::tool
