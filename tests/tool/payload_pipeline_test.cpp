#include "tool/payload_pipeline.hpp"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <vector>

namespace quorvel::tool {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Files of very different sizes, so that compressions finish out of order, some starting
// from the file before.
std::vector<Bytes> Files() {
    std::mt19937 random(3);
    std::vector<Bytes> files;
    for (std::size_t size : {300000u, 10u, 5000u, 0u, 120000u, 7000u, 1u, 40000u}) {
        Bytes file(size);
        for (std::uint8_t& byte : file) byte = static_cast<std::uint8_t>('a' + random() % 4);
        files.push_back(file);
    }
    return files;
}

EntryReference ReferenceFor(std::size_t i) {
    return i % 2 == 0 && i > 0 ? EntryReference{1, 0} : EntryReference{};
}

TEST(PayloadPipelineTest, WritesWhatTheWriterWritesInTurn) {
    const std::vector<Bytes> files = Files();
    EntryWriter inTurn(4);
    Bytes expected;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (i == 3) inTurn.AddFolder("folder");
        inTurn.AddFile("f" + std::to_string(i), {}, files[i], ReferenceFor(i));
    }
    expected = inTurn.TakePayload();

    EntryWriter writer(4);
    Bytes payload;
    std::size_t pieces = 0;
    PayloadPipeline pipeline(writer, 4, [&](const Bytes& piece) {
        payload.insert(payload.end(), piece.begin(), piece.end());
        ++pieces;
    });
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (i == 3) pipeline.AddFolder("folder");
        pipeline.AddFile(writer.PrepareFile("f" + std::to_string(i), {}, files[i], ReferenceFor(i)));
    }
    pipeline.Finish();
    EXPECT_TRUE(payload == expected);
    EXPECT_EQ(pieces, files.size() + 1);
    EXPECT_EQ(pipeline.EntriesWritten(), files.size() + 1);
    EXPECT_EQ(pipeline.BytesWritten(), 300000u + 10 + 5000 + 120000 + 7000 + 1 + 40000);
}

TEST(PayloadPipelineTest, ACompressionFailureReachesTheCaller) {
    EntryWriter writer(4);
    PayloadPipeline pipeline(writer, 10, [](const Bytes&) {});  // effort 10 does not exist
    // The failure surfaces at the first call that finds the compression done: already in
    // AddFile when the worker was quick, else in Finish.
    EXPECT_THROW(
        {
            pipeline.AddFile(writer.PrepareFile("f", {}, Bytes(100, 'x'), {}));
            pipeline.Finish();
        },
        std::invalid_argument);
}

}  // namespace
}  // namespace quorvel::tool
