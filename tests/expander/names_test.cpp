// Names an archive may not use, and names that only look unusual or hold double-byte
// characters, against both builds.
#include <gtest/gtest.h>

#include "support/archive_fixture.hpp"

namespace quorvel::test {
namespace {

class UnsafeName : public ::testing::TestWithParam<std::tuple<Build, std::string>> {};

// Refused right after the name is read, before any question or folder; the entries before
// it stay.
TEST_P(UnsafeName, EndsTheRunBeforeAnythingIsMadeForIt) {
    const auto& [build, name] = GetParam();
    TempFolder folder;
    std::filesystem::create_directory(folder / "inside");
    EntryWriter entries;
    entries.AddFile("first.txt", kTimes, ToBytes("1"));
    entries.AddFile(name, kTimes, ToBytes("escaped"));
    const RunResult result = RunArchive(build, folder, Archive(entries));
    EXPECT_EQ(result.output, kBanner + Expanding("first.txt") + "Unsafe path : " + name + "\a\r\n");
    EXPECT_EQ(result.exitCode, 2);
    const Tree tree = ReadTree(folder);
    EXPECT_EQ(tree.files, (std::map<std::string, std::string>{{"first.txt", "1"}}));
    EXPECT_EQ(tree.folders, std::set<std::string>{"inside"});
}

INSTANTIATE_TEST_SUITE_P(BothBuilds, UnsafeName,
                         ::testing::Combine(::testing::Values(Build::Native, Build::Windows),
                                            ::testing::Values("..\\up.txt", "inside\\..\\..\\up.txt", "\\root.txt",
                                                              "/root.txt", "C:\\up.txt", "c:up.txt", "a:stream",
                                                              "inside/../../up.txt", "inside\\...\\up.txt",
                                                              "inside\\. .\\up.txt", "inside\\ ..\\x", "a\\..")),
                         [](const auto& info) {
                             std::string name = BuildName(std::get<0>(info.param)) + "_";
                             for (char c : std::get<1>(info.param)) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name + "_" + std::to_string(info.index);
                         });

class Names : public BothBuilds {};

TEST_P(Names, NamesThatOnlyLookUnusual) {
    EntryWriter entries;
    entries.AddFile("a..b", kTimes, ToBytes("1"));
    entries.AddFile(".hidden", kTimes, ToBytes("2"));
    entries.AddFile("in\\.\\here.txt", kTimes, ToBytes("3"));
    const RunResult result = Run(Archive(entries));
    EXPECT_EQ(result.exitCode, 0) << result.output;
    const Tree tree = ReadTree(folder_);
    EXPECT_EQ(tree.files, (std::map<std::string, std::string>{{"a..b", "1"}, {".hidden", "2"}, {"in/here.txt", "3"}}));
}

TEST_P(Names, PrefixCompressedNamesAfterFolders) {
    EntryWriter entries;
    entries.AddFolder("Folder\\Sub");
    entries.AddFile("Folder\\Sub\\one.txt", kTimes, ToBytes("1"));
    entries.AddFile("Folder\\Sub\\two.txt", kTimes, ToBytes("2"));
    entries.AddFile("Folder\\three.txt", kTimes, ToBytes("3"));
    const RunResult result = Run(Archive(entries));
    EXPECT_EQ(result.output, kBanner + Expanding("Folder\\Sub\\one.txt") + Expanding("Folder\\Sub\\two.txt") +
                                 Expanding("Folder\\three.txt"));
    EXPECT_EQ(ReadTree(folder_).files.size(), 3u);
}

// 0x95 0x5C is one character in code page 932: its second byte is no separator there.
TEST_P(Names, DoubleByteCharacterWithBackslashTrailByte) {
    const std::string hyou = "\x95\x5C";  // U+8868 in UTF-8: E8 A1 A8
    EntryWriter entries;
    entries.AddFile(hyou + "\\" + hyou + ".txt", kTimes, ToBytes("inside"));
    entries.AddFolder("d\\" + hyou + "\\e");
    // The final "\." of this folder entry follows the double-byte character: its last part
    // is no folder to make, and nothing hangs.
    entries.AddRawName("d\\" + hyou + ".");
    const RunResult result = Run(Archive(entries), {.environment = {{"LANG", "ja_JP.UTF-8"}, {"LC_ALL", ""}}});
    EXPECT_EQ(result.output, kBanner + Expanding(hyou + "\\" + hyou + ".txt"));
    EXPECT_EQ(result.exitCode, 0);
    const Tree tree = ReadTree(folder_);
    EXPECT_EQ(tree.files, (std::map<std::string, std::string>{{"\xE8\xA1\xA8/\xE8\xA1\xA8.txt", "inside"}}));
    EXPECT_EQ(tree.folders, (std::set<std::string>{"\xE8\xA1\xA8", "d", "d/\xE8\xA1\xA8", "d/\xE8\xA1\xA8/e"}));
}

INSTANTIATE_TEST_SUITE_P(BothBuilds, Names, ::testing::Values(Build::Native, Build::Windows),
                         [](const auto& info) { return BuildName(info.param); });

}  // namespace
}  // namespace quorvel::test
