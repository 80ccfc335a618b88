// What stands at a file's or a folder's name before the run: the overwrite question and
// its answers, skipped files, and a file or folder in the way, against both builds.
#include <gtest/gtest.h>

#include "support/archive_fixture.hpp"

namespace quorvel::test {
namespace {

class ExistingFiles : public BothBuilds {};

TEST_P(ExistingFiles, SkippedFileStillServesAsReference) {
    const Bytes first = WordBytes(3000, 5);
    Bytes second(first.begin(), first.begin() + 1000);
    second.push_back('!');
    EntryWriter entries;
    entries.AddFile("a.txt", kTimes, first);
    entries.AddFile("b.txt", kTimes, second, {1, 1000});
    WriteBytes(folder_ / "a.txt", ToBytes("old"));
    const RunResult result = Run(Archive(entries), {.input = "n\r\n"});
    EXPECT_EQ(result.output, kBanner + "a.txt already exists. Overwrite? (Y/N) : \askipping : a.txt\r\n" +
                                 Expanding("b.txt"));
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(ReadText(folder_ / "a.txt"), "old");
    EXPECT_EQ(ReadText(folder_ / "b.txt"), AsText(second));
}

// The answer to the overwrite question, as typed, and whether the file is replaced.
struct Answer {
    std::string name;
    std::string input;
    bool replaced;
};

class OverwriteAnswer : public ::testing::TestWithParam<std::tuple<Build, Answer>> {};

TEST_P(OverwriteAnswer, DecidesTheFile) {
    const auto& [build, answer] = GetParam();
    TempFolder folder;
    WriteBytes(folder / "f.txt", ToBytes("old"));
    EntryWriter entries;
    entries.AddFile("f.txt", kTimes, ToBytes("new contents"));
    entries.AddFile("g.txt", kTimes, ToBytes("g"));
    const RunResult result = RunArchive(build, folder, Archive(entries), {.input = answer.input});
    const std::string question = "f.txt already exists. Overwrite? (Y/N) : \a";
    EXPECT_EQ(result.output, kBanner + question + (answer.replaced ? Expanding("f.txt") : "skipping : f.txt\r\n") +
                                 Expanding("g.txt"));
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(ReadText(folder / "f.txt"), answer.replaced ? "new contents" : "old");
}

INSTANTIATE_TEST_SUITE_P(
    BothBuilds, OverwriteAnswer,
    ::testing::Combine(::testing::Values(Build::Native, Build::Windows),
                       ::testing::Values(Answer{"UpperY", "Y\r\n", true}, Answer{"LowerY", "y\r\n", true},
                                         Answer{"UpperN", "N\r\n", false}, Answer{"LowerN", "n\r\n", false},
                                         Answer{"WordYes", "Yes, please\r\n", true},
                                         Answer{"WordNo", "nope\r\n", false},
                                         Answer{"OtherLinesFirst", " Y\r\nq\r\nN\r\n", false},
                                         // The blank line's skip swallows the next line.
                                         Answer{"BlankLineSwallowsTheNext", "\r\nN\r\nY\r\n", true},
                                         Answer{"EndOfInput", "", false},
                                         Answer{"EndOfInputAfterNoAnswer", "maybe\r\n", false},
                                         Answer{"TypedEndOfInputMark", "\x1AY\r\n", false})),
    [](const auto& info) { return BuildName(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name; });

// A file name ending in "/." (a folder entry ends in "\.") or "." alone names a folder, the
// one extracted into included.
TEST_P(ExistingFiles, FolderStandingUnderAFileName) {
    std::filesystem::create_directory(folder_ / "d");
    for (const std::string name : {"d", "d/.", "."}) {
        SCOPED_TRACE(name);
        EntryWriter entries;
        entries.AddFile(name, kTimes, ToBytes("data"));
        RunResult result = Run(Archive(entries), {.input = "N\r\n"});
        EXPECT_EQ(result.output, kBanner + name + " already exists. Overwrite? (Y/N) : \askipping : " + name + "\r\n");
        EXPECT_EQ(result.exitCode, 0);
        result = Run(Archive(entries), {.input = "Y\r\n"});
        EXPECT_EQ(result.output,
                  kBanner + name + " already exists. Overwrite? (Y/N) : \aexpanding : " + name + " ... " + kWriteError);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_TRUE(std::filesystem::is_directory(folder_ / "d"));
    }
}

TEST_P(ExistingFiles, FileStandingWhereAFolderIsNeeded) {
    WriteBytes(folder_ / "x", ToBytes("in the way"));
    EntryWriter entries;
    entries.AddFile("x\\f.txt", kTimes, ToBytes("f"));
    entries.AddFile("never.txt", kTimes, ToBytes("n"));
    RunResult result = Run(Archive(entries));
    EXPECT_EQ(result.output, kBanner + "expanding : x\\f.txt ... Cannot make folder : x\a\r\n");
    EXPECT_EQ(result.exitCode, 2);
    EntryWriter folders;
    folders.AddFolder("x\\y");
    result = Run(Archive(folders));
    EXPECT_EQ(result.output, kBanner + "Cannot make folder : x\a\r\n");
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_FALSE(std::filesystem::exists(folder_ / "never.txt"));
}

INSTANTIATE_TEST_SUITE_P(BothBuilds, ExistingFiles, ::testing::Values(Build::Native, Build::Windows),
                         [](const auto& info) { return BuildName(info.param); });

}  // namespace
}  // namespace quorvel::test
