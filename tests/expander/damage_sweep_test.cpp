// The native Expander against damaged copies of one sample archive: cut at every block
// boundary and around it (its total size as stored, and as the maker of a cut file would
// have set it), a few hundred bits flipped in the header and in the blocks, bytes appended.
// Every run ends with one of the documented messages and its exit code, makes nothing
// outside its folder, and leaves only files equal to the originals: the one it was writing
// when it failed is gone.
#include <gtest/gtest.h>

#include <random>

#include "format/archive_format.hpp"
#include "support/archive_fixture.hpp"

namespace quorvel::test {
namespace {

struct DamagedCopy {
    std::string what;
    Bytes archive;
};

// How a run may end: its last words and exit code.
struct Ending {
    std::string text;
    int exitCode;
};

const Ending kEndings[] = {
    {kSmaller, 1},   {kLarger, 1},     {"Password : Password : Password : ", 1},
    {kReadError, 2}, {kBroken, 2},     {kWriteError, 2},
    {"end.\r\n", 0}, {kBanner, 0},  // everything, or a cut after a folder entry, extracted
};

Bytes WithTotalSizeOfFile(Bytes archive) {
    PatchTotalSize(archive, StubSize + archive.size());
    return archive;
}

std::vector<DamagedCopy> DamagedCopies(const Bytes& archive) {
    constexpr std::size_t kBlockStream = 7;  // total size, empty comment and run command, no password
    std::vector<DamagedCopy> copies;
    for (std::size_t block = kBlockStream + kBlockSize; block < archive.size(); block += kBlockSize) {
        const std::string at = "cut at " + std::to_string(block);
        copies.push_back({at + ", total size as stored", Bytes(archive.begin(), archive.begin() + block)});
        for (int delta = -2; delta <= 3; ++delta) {
            const Bytes cut(archive.begin(), archive.begin() + static_cast<std::ptrdiff_t>(block) + delta);
            copies.push_back({at + std::to_string(delta), WithTotalSizeOfFile(cut)});
        }
    }
    std::mt19937 random(2024);
    for (int i = 0; i < 300; ++i) {
        Bytes copy = archive;
        const std::size_t at =
            i % 6 == 0 ? random() % kBlockStream : kBlockStream + random() % (archive.size() - kBlockStream);
        copy[at] ^= static_cast<std::uint8_t>(1u << random() % 8);
        copies.push_back({"bit flipped at " + std::to_string(at), copy});
    }
    for (std::size_t extra : {1, 2, 3, 100, 4098}) {
        Bytes longer = archive;
        const Bytes appended = RandomBytes(extra, static_cast<std::uint32_t>(extra));
        longer.insert(longer.end(), appended.begin(), appended.end());
        copies.push_back({std::to_string(extra) + " bytes appended", longer});
        copies.push_back({std::to_string(extra) + " bytes appended, total size set", WithTotalSizeOfFile(longer)});
    }
    return copies;
}

const Ending* EndingOf(const std::string& output) {
    for (const Ending& ending : kEndings)
        if (output.ends_with(ending.text)) return &ending;
    return nullptr;
}

std::string Slashed(std::string name) {
    for (char& c : name)
        if (c == '\\') c = '/';
    return name;
}

// What the run left: originals only; the file it was writing when it failed is gone.
void ExpectOnlyOriginals(const std::filesystem::path& folder, const SampleArchive& sample, const RunResult& result) {
    const Tree tree = ReadTree(folder);
    for (const auto& [name, contents] : tree.files)
        EXPECT_TRUE(sample.files.contains(name) && AsText(sample.files.at(name)) == contents) << name;
    for (const std::string& made : tree.folders) EXPECT_TRUE(sample.folders.contains(made)) << made;
    if (result.exitCode == 1) {
        EXPECT_TRUE(tree.files.empty() && tree.folders.empty());
    }
    const std::size_t last = result.output.rfind("expanding : ");
    if (last == std::string::npos || result.output.find(" ... end.\r\n", last) != std::string::npos) return;
    const std::size_t nameStart = last + std::string("expanding : ").size();
    const std::string name = result.output.substr(nameStart, result.output.find(" ... ", last) - nameStart);
    EXPECT_FALSE(std::filesystem::exists(folder / Slashed(name))) << name;
}

TEST(NativeDamageSweep, EveryRunEndsAsDocumentedAndLeavesOnlyOriginals) {
    const SampleArchive sample = MakeSampleArchive(20000);
    const Bytes archive = Archive(sample.entries);
    ASSERT_GT(archive.size(), 4u * kBlockSize);
    const Bytes stub = StubBytes(Build::Native);
    for (const DamagedCopy& copy : DamagedCopies(archive)) {
        SCOPED_TRACE(copy.what);
        TempFolder fence;
        const std::filesystem::path folder = fence / "run";
        std::filesystem::create_directory(folder);
        Bytes file = stub;
        file.insert(file.end(), copy.archive.begin(), copy.archive.end());
        WriteBytes(folder / "sfx.exe", file);
        const RunResult result = RunSelfExtractor(Build::Native, folder / "sfx.exe", {});
        ASSERT_FALSE(result.timedOut);
        const Ending* ending = EndingOf(result.output);
        ASSERT_NE(ending, nullptr) << result.output;
        EXPECT_EQ(result.exitCode, ending->exitCode) << result.output;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(fence.path()), {}), 1);
        ExpectOnlyOriginals(folder, sample, result);
    }
}

}  // namespace
}  // namespace quorvel::test
