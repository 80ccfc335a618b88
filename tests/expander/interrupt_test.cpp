// Interrupts: the file being written is removed, and every file left is complete.
#include <gtest/gtest.h>

#include <optional>
#include <random>

#include "support/archive_fixture.hpp"

namespace quorvel::test {
namespace {

class Interrupt : public BothBuilds {};

// An interrupt while a file is being written removes that file; the default handling then
// ends the program (under Wine the interrupt arrives as a console Ctrl+C event).
TEST_P(Interrupt, InterruptRemovesThePartlyWrittenFile) {
    TempFolder folder;
    const auto big = folder / "big.bin";
    const RunResult result = RunArchive(build(), folder, Archive(DoneThenAGigabyte(kTimes)),
                                        {.interruptWhen = [&] { return std::filesystem::exists(big); }});
    if (build() == Build::Native) {
        EXPECT_EQ(result.signal, SIGINT);
    } else {
        EXPECT_EQ(result.exitCode, 0x3A) << result.output;  // 0xC000013A, low byte
    }
    EXPECT_FALSE(std::filesystem::exists(big));
    EXPECT_EQ(ReadText(folder / "done.txt"), "done");
}

// Interrupts at random moments of runs over many files, some large: whatever a run leaves
// is complete, never an empty or partly written file, under whatever name.
TEST(NativeInterrupt, LeavesOnlyCompleteFiles) {
    constexpr int kFiles = 3000;
    constexpr int kRuns = 300;
    EntryWriter entries;
    std::map<std::string, std::string> originals;
    for (int i = 0; i < kFiles; ++i) {
        const std::string folder = "d" + std::to_string(i % 10);
        const std::string name = "f" + std::to_string(i);
        const Bytes contents = WordBytes(i % 60 == 0 ? 200000 : 1 + i % 500, static_cast<std::uint32_t>(i));
        entries.AddFile(folder + "\\" + name, kTimes, contents);
        originals[folder + "/" + name] = AsText(contents);
    }
    const Bytes archive = Archive(entries);
    std::mt19937 random(10);
    int cutShort = 0;  // runs that the interrupt ended with some files written
    for (int run = 0; run < kRuns; ++run) {
        TempFolder folder;
        // Counted from the first folder's making, so that a slow start (the sanitizer build's)
        // does not put the moments before the extraction.
        const auto delay = std::chrono::microseconds(random() % 20000);
        std::optional<std::chrono::steady_clock::time_point> started;
        const auto interruptWhen = [&] {
            if (!started && std::filesystem::exists(folder / "d0")) started = std::chrono::steady_clock::now();
            return started && std::chrono::steady_clock::now() >= *started + delay;
        };
        const RunResult result = RunArchive(Build::Native, folder, archive, {.interruptWhen = interruptWhen});
        const Tree tree = ReadTree(folder);
        for (const auto& [name, contents] : tree.files) {
            const auto original = originals.find(name);
            ASSERT_TRUE(original != originals.end() && original->second == contents)
                << "run " << run << " left " << name << " with " << contents.size() << " bytes";
        }
        if (result.signal == SIGINT && !tree.files.empty() && tree.files.size() < originals.size()) ++cutShort;
    }
    EXPECT_GT(cutShort, kRuns / 2);
}

INSTANTIATE_TEST_SUITE_P(BothBuilds, Interrupt, ::testing::Values(Build::Native, Build::Windows),
                         [](const auto& info) { return BuildName(info.param); });

}  // namespace
}  // namespace quorvel::test
