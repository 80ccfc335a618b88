// Extraction end to end, against both builds: entries, folders, references between files,
// time stamps, broken and cut archives, and the run command.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <thread>

#include "packer/item.hpp"
#include "packer/item_encoder.hpp"
#include "support/archive_fixture.hpp"

namespace quorvel::test {
namespace {

class Extraction : public BothBuilds {};

TEST_P(Extraction, TheHundredByteDocsArchive) {
    const Bytes archive = {
        0x64, 0x50, 0x00, 0x00, 0x00, 0x00, 0x00,                          // header
        0x44, 0x4F, 0x43, 0x53, 0x5C, 0x2E, 0x00,                          // DOCS\.
        0x2A, 0x03, 0x41, 0x2E, 0x54, 0x58, 0x54, 0x00,                    // *, 3, A.TXT
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0xC0, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x01,        // three times
        0x06, 0x00, 0x00, 0x00, 0x00, 0xAE, 0x5D, 0xAC, 0x50, 0x15,        // size, ref, data
        0x2A, 0x03, 0x42, 0x2E, 0x54, 0x58, 0x54, 0x00,                    // *, 3, B.TXT
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0xC0, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x01,
        0x08, 0x00, 0x00, 0x00, 0x01, 0x06, 0x00, 0xAB, 0x54, 0x05,        // size, ref 1, prefix 6
        0x00, 0x4F};                                                       // block check
    ASSERT_EQ(archive.size(), 100u);
    const RunResult result = Run(archive);
    EXPECT_EQ(result.output, kBanner + Expanding("DOCS\\A.TXT") + Expanding("DOCS\\B.TXT"));
    EXPECT_EQ(result.exitCode, 0);
    const Tree tree = ReadTree(folder_);
    EXPECT_EQ(tree.folders, std::set<std::string>{"DOCS"});
    EXPECT_EQ(tree.files, (std::map<std::string, std::string>{{"DOCS/A.TXT", "ABABAB"}, {"DOCS/B.TXT", "ABABABAB"}}));
    struct stat info;
    ASSERT_EQ(stat((folder_ / "DOCS/A.TXT").c_str(), &info), 0);
    EXPECT_EQ(Nanoseconds(info.st_mtim), UnixNanoseconds(0x01C0000000000000ULL));
}

TEST_P(Extraction, FoldersFilesAndTheirTimes) {
    EntryWriter entries;
    entries.AddFolder("top\\empty");
    entries.AddFile("top\\deep\\er\\words.txt", kTimes, WordBytes(100000, 1));
    entries.AddFile("top\\empty.bin", kTimes, {});
    entries.AddFile("random.bin", kTimes, RandomBytes(50000, 2));
    entries.AddFile("x", kTimes, ToBytes("1"));
    entries.AddFolder("last");
    const RunResult result = Run(Archive(entries));
    EXPECT_EQ(result.output, kBanner + Expanding("top\\deep\\er\\words.txt") + Expanding("top\\empty.bin") +
                                 Expanding("random.bin") + Expanding("x"));
    EXPECT_EQ(result.exitCode, 0);
    // Before anything reads the files, which would move their access times.
    for (const char* name : {"top/deep/er/words.txt", "top/empty.bin", "x"}) {
        struct stat info;
        ASSERT_EQ(stat((folder_ / name).c_str(), &info), 0);
        EXPECT_EQ(Nanoseconds(info.st_mtim), UnixNanoseconds(kTimes.lastWrite)) << name;
        EXPECT_EQ(Nanoseconds(info.st_atim), UnixNanoseconds(kTimes.lastAccess)) << name;
    }
    const Tree tree = ReadTree(folder_);
    EXPECT_EQ(tree.folders, (std::set<std::string>{"last", "top", "top/deep", "top/deep/er", "top/empty"}));
    EXPECT_EQ(tree.files.at("top/deep/er/words.txt"), AsText(WordBytes(100000, 1)));
    EXPECT_EQ(tree.files.at("top/empty.bin"), "");
    EXPECT_EQ(tree.files.at("random.bin"), AsText(RandomBytes(50000, 2)));
    EXPECT_EQ(tree.files.at("x"), "1");
}

TEST_P(Extraction, FilesStartFromEarlierFilesAcrossFoldersAndTheRingWrap) {
    EntryWriter entries;
    std::vector<Bytes> contents;
    auto add = [&](const std::string& name, Bytes data, EntryReference reference = {}) {
        entries.AddFile(name, kTimes, data, reference);
        contents.push_back(std::move(data));
    };
    add("f000", WordBytes(20000, 100));
    entries.AddFolder("sub");  // folder entries are not counted
    Bytes second(contents[0].begin(), contents[0].begin() + 5000);
    const Bytes tail = WordBytes(3000, 7);
    second.insert(second.end(), tail.begin(), tail.end());
    add("sub\\f001", second, {1, 5000});
    while (contents.size() < 255) add("f" + std::to_string(contents.size()), WordBytes(300, static_cast<std::uint32_t>(contents.size())));
    // The 256th file reaches the first one, 255 back; the 257th, written into the first
    // file's slot, reaches the second; the 258th refers to the 257th in that reused slot.
    Bytes reachFirst(contents[0].begin(), contents[0].begin() + 16384);
    add("f255", reachFirst, {255, 16384});
    add("f256", second, {255, 8000});
    add("f257", second, {1, 8000});
    Bytes presetOnly = WordBytes(9000, 100);  // starts like f000's data, shares no prefix
    add("f258", presetOnly, {3, 0});
    const RunResult result = Run(Archive(entries));
    EXPECT_EQ(result.exitCode, 0) << result.output;
    const Tree tree = ReadTree(folder_);
    ASSERT_EQ(tree.files.size(), 259u);
    EXPECT_EQ(tree.files.at("sub/f001"), AsText(second));
    EXPECT_EQ(tree.files.at("f255"), AsText(reachFirst));
    EXPECT_EQ(tree.files.at("f256"), AsText(second));
    EXPECT_EQ(tree.files.at("f257"), AsText(second));
    EXPECT_EQ(tree.files.at("f258"), AsText(presetOnly));
    EXPECT_EQ(tree.files.at("f100"), AsText(contents[100]));
}

// A file whose data breaks the format ends the run; the partly written file is removed and
// the files before it stay.
TEST_P(Extraction, InvalidMatchesAreBroken) {
    const struct {
        std::vector<Item> items;
        std::uint32_t size;
    } cases[] = {
        {{MatchItem(2, 5)}, 2},                                      // reaches before the file
        {{LiteralItem('a'), LiteralItem('b'), MatchItem(3, 3)}, 5},  // distance 3 after 2 bytes
        {{LiteralItem('a'), MatchItem(10, 1)}, 5},                   // runs past the size
    };
    for (const auto& c : cases) {
        TempFolder folder;
        EntryWriter entries;
        entries.AddFile("good.txt", kTimes, ToBytes("good"));
        entries.AddRawFile({"bad.txt", kTimes, c.size, {}, EncodeItems(c.items)});
        const RunResult result = RunArchive(build(), folder, Archive(entries));
        EXPECT_EQ(result.output, kBanner + Expanding("good.txt") + "expanding : bad.txt ... " + kBroken);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_FALSE(std::filesystem::exists(folder / "bad.txt"));
        EXPECT_EQ(ReadText(folder / "good.txt"), "good");
    }
}

// Records that break the rules end as broken as soon as the field is read: no question,
// no progress text, no file.
TEST_P(Extraction, RecordsBreakingTheRulesAreBroken) {
    std::vector<std::pair<std::string, EntryWriter>> cases;
    auto make = [&](const std::string& name) -> EntryWriter& { return cases.emplace_back(name, EntryWriter{}).second; };
    make("ReferenceToUnfilledSlot").AddRawFile({"f", kTimes, 4, {1, 0}, {}});
    {
        EntryWriter& w = make("ReferenceBeyondFilesSoFar");
        w.AddFile("a", kTimes, ToBytes("aaaa"));
        w.AddFolder("folder");
        w.AddRawFile({"f", kTimes, 4, {2, 0}, {}});
    }
    {
        EntryWriter& w = make("PrefixLongerThanReferencedFile");
        w.AddFile("a", kTimes, ToBytes("aaaa"));
        w.AddRawFile({"f", kTimes, 10, {1, 5}, {}});
    }
    {
        EntryWriter& w = make("PrefixLongerThanTheFile");
        w.AddFile("a", kTimes, ToBytes("aaaaaaaa"));
        w.AddRawFile({"f", kTimes, 3, {1, 4}, {}});
    }
    make("SizeOf2To31").AddRawFile({"f", kTimes, 0x80000000u, {}, {}});
    make("EmptyName").AddRawName("");
    for (auto& [name, entries] : cases) {
        SCOPED_TRACE(name);
        TempFolder folder;
        const RunResult result = RunArchive(build(), folder, Archive(entries));
        const std::string before = entries.FileCount() > 0 && name != "ReferenceToUnfilledSlot" &&
                                           name != "SizeOf2To31"
                                       ? Expanding("a")
                                       : "";
        EXPECT_EQ(result.output, kBanner + before + kBroken);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_FALSE(std::filesystem::exists(folder / "f"));
    }
}

TEST_P(Extraction, EntryCutShortIsAReadError) {
    EntryWriter entries;
    entries.AddFile("cut.txt", kTimes, WordBytes(5000, 3));
    Bytes payload = entries.Payload();
    payload.resize(payload.size() - 10);
    const RunResult result = Run(BuildArchive({}, payload));
    EXPECT_EQ(result.output, kBanner + "expanding : cut.txt ... " + kReadError);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_FALSE(std::filesystem::exists(folder_ / "cut.txt"));
}

TEST_P(Extraction, BytesBehindTheLastEntryAreReadAsAnotherEntry) {
    EntryWriter entries;
    entries.AddFile("a", kTimes, ToBytes("a"));
    entries.AddRawName("stray");  // a name and then nothing: the file fields run out
    const RunResult result = Run(Archive(entries));
    EXPECT_EQ(result.output, kBanner + Expanding("a") + kReadError);
    EXPECT_EQ(result.exitCode, 2);
}

TEST_P(Extraction, NameTooLongForTheSystemIsAWriteError) {
    const std::string name(300, 'n');
    EntryWriter entries;
    entries.AddFile(name, kTimes, ToBytes("n"));
    const RunResult result = Run(Archive(entries));
    EXPECT_EQ(result.output, kBanner + "expanding : " + name + " ... " + kWriteError);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(ReadTree(folder_).files.size(), 0u);
}

TEST_P(Extraction, RunCommandThatCannotStart) {
    EntryWriter entries;
    entries.AddFile("a.txt", kTimes, ToBytes("a"));
    const RunResult result = Run(Archive(entries, {.runCommand = "missing.txt"}));
    EXPECT_EQ(result.output, kBanner + Expanding("a.txt") + "Couldn't run missing.txt\a\r\n");
    EXPECT_EQ(result.exitCode, 0);
}

TEST_P(Extraction, RunCommandIsNotRunAfterAFailure) {
    EntryWriter entries;
    entries.AddRawFile({"bad", kTimes, 3, {}, EncodeItems(std::vector<Item>{MatchItem(3, 1)})});
    const RunResult result = Run(Archive(entries, {.runCommand = "missing.txt"}));
    EXPECT_EQ(result.output, kBanner + "expanding : bad ... " + kBroken);
    EXPECT_EQ(result.exitCode, 2);
}

INSTANTIATE_TEST_SUITE_P(BothBuilds, Extraction, ::testing::Values(Build::Native, Build::Windows),
                         [](const auto& info) { return BuildName(info.param); });

// The native build starts an executable run command without waiting for it, and hands the
// command to the system as one file name.
// Scripts and programs come out executable (0755 less the umask), so a packed script can be
// the run command; other files get the usual 0666 less the umask.
TEST(NativeRunCommand, StartsAnExtractedScript) {
    TempFolder folder;
    EntryWriter entries;
    entries.AddFile("a.txt", kTimes, ToBytes("#not a script"));
    entries.AddFile("hello.sh", kTimes, ToBytes("#!/bin/sh\necho ran > ran.txt\n"));
    entries.AddFile("program", kTimes, ToBytes("\x7f" "ELF and more"));
    entries.AddFile("elf.txt", kTimes, ToBytes("\x7f" "EL"));
    RunResult result = RunArchive(Build::Native, folder, Archive(entries, {.runCommand = "hello.sh"}));
    EXPECT_EQ(result.output, kBanner + Expanding("a.txt") + Expanding("hello.sh") + Expanding("program") +
                                 Expanding("elf.txt"));
    EXPECT_EQ(result.exitCode, 0);
    const mode_t mask = umask(0);
    umask(mask);
    for (const auto& [name, mode] : {std::pair{"a.txt", 0666}, {"hello.sh", 0755}, {"program", 0755}, {"elf.txt", 0666}}) {
        struct stat info;
        ASSERT_EQ(stat((folder / name).c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, static_cast<mode_t>(mode) & ~mask) << name;
    }
    for (int i = 0; i < 500 && !std::filesystem::exists(folder / "ran.txt"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(std::filesystem::exists(folder / "ran.txt"));

    EntryWriter one;
    one.AddFile("a.txt", kTimes, ToBytes("a"));
    result = RunArchive(Build::Native, folder, Archive(one, {.runCommand = "hello.sh now"}), {.input = "Y\r\n"});
    EXPECT_EQ(result.output, kBanner + "a.txt already exists. Overwrite? (Y/N) : \a" + Expanding("a.txt") +
                                 "Couldn't run hello.sh now\a\r\n");
}

}  // namespace
}  // namespace quorvel::test
