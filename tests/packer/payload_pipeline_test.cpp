#include "packer/payload_pipeline.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "packer/reference_choice.hpp"
#include "support/parts.hpp"

namespace quorvel {
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

    // The same bytes whatever the number of threads.
    for (unsigned threads : {1u, 2u, 4u}) {
        SCOPED_TRACE(testing::Message() << threads << " threads");
        EntryWriter writer(4);
        Bytes payload;
        std::size_t pieces = 0;
        PayloadPipeline pipeline(writer, 4, threads, [&](const Bytes& piece) {
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
}

TEST(PayloadPipelineTest, ACompressionFailureReachesTheCaller) {
    EntryWriter writer(4);
    PayloadPipeline pipeline(writer, 10, 2, [](const Bytes&) {});  // effort 10 does not exist
    // The failure surfaces at the first call that finds the compression done: already in
    // AddFile when the worker was quick, else in Finish.
    EXPECT_THROW(
        {
            pipeline.AddFile(writer.PrepareFile("f", {}, Bytes(100, 'x'), {}));
            pipeline.Finish();
        },
        std::invalid_argument);
}

Bytes RandomBytes(std::size_t size, std::uint32_t seed) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(random());
    return bytes;
}

// Contents lent from `bytes`, which must outlive them; `read` counts the checks after reading.
LentContents Lend(const Bytes& bytes, int* read = nullptr) {
    LentContents lent{bytes, std::make_shared<int>(0), {}, {}};
    if (read != nullptr) lent.checkRead = [read] { ++*read; };
    return lent;
}

// Lent files come out in pieces (random bytes: several megabytes of data), in turn with the
// others, and later files start from them as from any other. Their references are chosen
// on the compressing thread, as the tool has them chosen, and the record names them.
TEST(PayloadPipelineTest, LentFilesAreWrittenInPiecesInTurn) {
    const Bytes large = RandomBytes(3u << 20, 4);
    const std::vector<Bytes> files = Files();
    EntryWriter inTurn(1);
    inTurn.AddFile("large", {}, large);
    for (std::size_t i = 0; i < files.size(); ++i) inTurn.AddFile("f" + std::to_string(i), {}, files[i], ReferenceFor(i));
    const Bytes expected = inTurn.TakePayload();

    for (unsigned threads : {1u, 2u}) {
        SCOPED_TRACE(testing::Message() << threads << " threads");
        EntryWriter writer(1);
        Bytes payload;
        std::size_t entries = 0, parts = 0;
        PayloadPipeline pipeline(
            writer, 1, threads,
            [&](const Bytes& bytes) {
                payload.insert(payload.end(), bytes.begin(), bytes.end());
                ++entries;
            },
            [&](const Bytes& bytes) {
                payload.insert(payload.end(), bytes.begin(), bytes.end());
                ++parts;
            });
        int checked = 0;
        pipeline.AddFile(writer.PrepareLentFile("large", {}, Lend(large, &checked), {}));
        for (std::size_t i = 0; i < files.size(); ++i) {
            const std::string name = "f" + std::to_string(i);
            if (i % 3 != 0) {
                pipeline.AddFile(writer.PrepareFile(name, {}, files[i], ReferenceFor(i)));
                continue;
            }
            const EntryReference reference = ReferenceFor(i);
            const std::span<const std::uint8_t> preset =
                reference.referenceBack != 0 ? PresetBytes(writer.History(reference.referenceBack), 0)
                                             : std::span<const std::uint8_t>();
            PreparedFile file = writer.PrepareLentFile(name, {}, Lend(files[i], &checked), {});
            // Slow, so that the writer reaches the entry before its reference is chosen.
            file.chooseReference = [reference, chosen = Bytes(preset.begin(), preset.end())](auto) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                return ReferenceWithPreset{reference, chosen};
            };
            pipeline.AddFile(std::move(file));
        }
        pipeline.Finish();
        EXPECT_TRUE(payload == expected);
        EXPECT_EQ(entries, files.size() + 1);
        EXPECT_GE(parts, 3u);  // the large file's data, at least two pieces, after its record
        EXPECT_EQ(checked, 4);
    }
}

// A lent file found changed after it was read fails the pack; a pipeline given up while a
// lent file's data waits to be written lets the compression end.
TEST(PayloadPipelineTest, LentFilesEndWhateverHappens) {
    const Bytes large = RandomBytes(12u << 20, 5);
    {
        EntryWriter writer(1);
        PayloadPipeline pipeline(writer, 1, 2, [](const Bytes&) {});
        LentContents lent = Lend(large);
        lent.checkRead = [] { throw std::runtime_error("cut short"); };
        pipeline.AddFile(writer.PrepareLentFile("large", {}, std::move(lent), {}));
        EXPECT_THROW(pipeline.Finish(), std::runtime_error);
    }
    EntryWriter writer(1);
    PayloadPipeline pipeline(writer, 1, 1, [](const Bytes&) {}, [](const Bytes&) {});
    pipeline.AddFile(writer.PrepareLentFile("large", {}, Lend(large), {}));
}

// A folder (empty contents, no extension) or a file of the sample tree.
struct SampleEntry {
    std::string name;
    Bytes contents;
    bool folder = false;
};

Bytes Words(std::size_t size, std::uint32_t seed) {
    static const char* const kWords[] = {"#define ", "struct ", "static ", "inline ", "return ", "(x)", " {\n",
                                         "}\n", "int ", "void ", "const ", "value", "_t ", "/* note */\n"};
    std::mt19937 random(seed);
    std::string text;
    while (text.size() < size) text += kWords[random() % std::size(kWords)];
    text.resize(size);
    return {text.begin(), text.end()};
}

// Many small headers (more than the 255 files a reference reaches), near copies that share
// a prefix, long texts, random bytes, long runs of one byte, and the tiniest files.
std::vector<SampleEntry> SampleTree() {
    std::vector<SampleEntry> tree{{"tree", {}, true}, {"tree\\include", {}, true}, {"tree\\data", {}, true}};
    std::mt19937 random(11);
    Bytes noise(70000);
    for (std::uint8_t& byte : noise) byte = static_cast<std::uint8_t>(random());
    Bytes runs(30000, 0);
    for (std::size_t i = 0; i < runs.size(); i += 5000) runs[i] = static_cast<std::uint8_t>(i / 5000 + 1);
    Bytes nearCopy = Words(60000, 5);
    nearCopy[20000] ^= 1;
    tree.push_back({"tree\\data\\empty.bin", {}});
    tree.push_back({"tree\\data\\one.bin", Bytes(1, 'x')});
    tree.push_back({"tree\\data\\noise.bin", noise});
    tree.push_back({"tree\\data\\runs.bin", runs});
    tree.push_back({"tree\\data\\long.txt", Words(200000, 4)});
    tree.push_back({"tree\\data\\mid.txt", Words(60000, 5)});
    tree.push_back({"tree\\data\\near.txt", nearCopy});
    for (std::uint32_t i = 0; i < 300; ++i) {
        Bytes header = Words(200 + i * 37 % 3000, 100 + i % 40);
        const std::string guard = "#ifndef H" + std::to_string(i) + "\n";
        header.insert(header.begin(), guard.begin(), guard.end());
        tree.push_back({"tree\\include\\h" + std::to_string(i) + ".h", header});
    }
    return tree;
}

// FNV-1a, 64 bits: any change in the bytes shows.
std::uint64_t Digest(const Bytes& bytes) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (std::uint8_t byte : bytes) hash = (hash ^ byte) * 0x100000001b3ull;
    return hash;
}

// The payload the pack command writes for the sample tree: references chosen as it chooses
// them, on the compressing threads (or before handing the file over), files compressed on
// the pipeline's threads.
Bytes PackedSample(int effort, bool chooseWhenCompressing = true) {
    EntryWriter writer(effort);
    ReferenceChooser chooser(effort);
    Bytes payload;
    PayloadPipeline pipeline(writer, effort, 2, [&](const Bytes& piece) { payload.insert(payload.end(), piece.begin(), piece.end()); });
    std::uint64_t time = 133000000000000000ull;
    for (SampleEntry& entry : SampleTree()) {
        if (entry.folder) {
            pipeline.AddFolder(entry.name);
            continue;
        }
        const std::string extension = ExtensionOf(entry.name);
        time += 10000019;
        const EntryTimes times{time, time + 1, time + 2};
        if (chooseWhenCompressing) {
            DeferredReference reference = chooser.Defer(writer, entry.contents, extension);
            chooser.Remember(entry.contents, extension);
            PreparedFile file = writer.PrepareFile(entry.name, times, std::move(entry.contents), {});
            file.chooseReference = std::move(reference);
            pipeline.AddFile(std::move(file));
        } else {
            const EntryReference reference = chooser.Choose(writer, entry.contents, extension);
            chooser.Remember(entry.contents, extension);
            pipeline.AddFile(writer.PrepareFile(entry.name, times, std::move(entry.contents), reference));
        }
    }
    pipeline.Finish();
    return payload;
}

// The packer's output is fixed for given inputs and effort: speed work must not change a byte.
TEST(PayloadPipelineTest, TheSampleTreePacksToKnownBytes) {
    struct Case {
        int effort;
        std::size_t size;
        std::uint64_t digest;
    };
    const Case cases[] = {
        {1, 203386, 0x8833d902e650c305ull},
        {6, 158688, 0x143e2b2467772639ull},
        {9, 158199, 0xd977226784ceda3cull},
    };
    for (const Case& c : cases) {
        const Bytes payload = PackedSample(c.effort);
        EXPECT_EQ(payload.size(), c.size) << "effort " << c.effort;
        EXPECT_EQ(Digest(payload), c.digest) << "effort " << c.effort << std::hex << " digest 0x" << Digest(payload);
        EXPECT_TRUE(PackedSample(c.effort, false) == payload) << "effort " << c.effort;
    }
}

}  // namespace
}  // namespace quorvel
