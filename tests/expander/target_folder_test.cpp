// The run's folder as someone else may shape it: links on the way, a folder swapped for a
// link while files are written into it, folders held against renaming, hard links, pipes
// and devices standing at a file's name, and names meant to play tricks on the terminal.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <thread>

#include "support/archive_fixture.hpp"

namespace quorvel::test {
namespace {

bool NothingIn(const std::filesystem::path& folder) { return std::filesystem::is_empty(folder); }

// While the Expander writes 3,000 files into D, D and a link to a folder outside trade
// places again and again. The files all land in the folder the Expander made, under
// whichever name it has by then; the folder outside stays empty.
TEST(NativeRace, FolderSwappedForALinkWhileFilesAreWritten) {
    constexpr int kFiles = 3000;
    EntryWriter entries;
    entries.AddFolder("D");
    for (int i = 0; i < kFiles; ++i) entries.AddFile("D\\f" + std::to_string(i), kTimes, ToBytes("x"));
    const Bytes archive = Archive(entries);
    for (int run = 0; run < 4; ++run) {
        TempFolder here;
        TempFolder outside;
        std::filesystem::create_directory_symlink(outside.path(), here / "L");
        std::atomic<bool> done{false};
        std::atomic<int> swaps{0};
        std::thread swapper([&] {
            const std::string d = (here / "D").string();
            const std::string link = (here / "L").string();
            // The swaps begin once the fifth file is in: the folder has been entered.
            while (!done && !std::filesystem::exists(here / "D" / "f4") && !std::filesystem::exists(here / "L" / "f4"))
                std::this_thread::yield();
            while (!done) {
                if (renameat2(AT_FDCWD, d.c_str(), AT_FDCWD, link.c_str(), RENAME_EXCHANGE) == 0) ++swaps;
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        });
        const RunResult result = RunArchive(Build::Native, here, archive);
        done = true;
        swapper.join();
        EXPECT_EQ(result.exitCode, 0) << result.output;
        EXPECT_TRUE(NothingIn(outside.path())) << "run " << run;
        const auto real = std::filesystem::is_symlink(here / "D") ? here / "L" : here / "D";
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(real), {}), kFiles) << "run " << run;
        EXPECT_GT(swaps.load(), 0) << "run " << run;
    }
}

// What stands at a file's name, made in the folder; other, where a hard link's second name
// is, lies outside it. Each is replaced by a new regular file after Y, never written
// through, opened or waited on.
struct Standing {
    std::string name;
    std::function<bool(const std::filesystem::path& at, const std::filesystem::path& other)> make;
};

bool MakeFifo(const std::filesystem::path& at, const std::filesystem::path&) { return mkfifo(at.c_str(), 0666) == 0; }

bool MakeHardLink(const std::filesystem::path& at, const std::filesystem::path& other) {
    WriteBytes(other, ToBytes("old"));
    return link(other.c_str(), at.c_str()) == 0;
}

// The null device's numbers; making one needs the right to make devices.
bool MakeDevice(const std::filesystem::path& at, const std::filesystem::path&) {
    return mknod(at.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
}

bool MakeSocket(const std::filesystem::path& at, const std::filesystem::path&) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (at.string().size() >= sizeof address.sun_path) return false;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", at.c_str());
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return bound;
}

class StandingAtTheName : public ::testing::TestWithParam<std::tuple<Build, Standing>> {};

TEST_P(StandingAtTheName, IsReplacedByANewFile) {
    const auto& [build, standing] = GetParam();
    TempFolder here;
    TempFolder outside;
    if (!standing.make(here / "f.bin", outside / "other")) GTEST_SKIP() << "cannot make a " << standing.name << " here";
    // Larger than a pipe holds, so that a write into a pipe would wait.
    const Bytes contents = WordBytes(200000, 3);
    EntryWriter entries;
    entries.AddFile("f.bin", kTimes, contents);
    RunOptions options{.input = "Y\r\n"};
    options.timeout = std::chrono::milliseconds(20000);
    const RunResult result = RunArchive(build, here, Archive(entries), options);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.output, kBanner + "f.bin already exists. Overwrite? (Y/N) : \a" + Expanding("f.bin"));
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(here / "f.bin")));
    EXPECT_EQ(ReadBytes(here / "f.bin"), contents);
    struct stat info;
    ASSERT_EQ(stat((here / "f.bin").c_str(), &info), 0);
    EXPECT_EQ(info.st_nlink, 1u);
    if (std::filesystem::exists(outside / "other")) {
        EXPECT_EQ(ReadText(outside / "other"), "old");
    }
}

std::string StandingName(const ::testing::TestParamInfo<std::tuple<Build, Standing>>& info) {
    return BuildName(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name;
}

INSTANTIATE_TEST_SUITE_P(BothBuilds, StandingAtTheName,
                         ::testing::Combine(::testing::Values(Build::Native, Build::Windows),
                                            ::testing::Values(Standing{"HardLink", MakeHardLink})),
                         StandingName);

// Wine shows no pipes, devices or sockets.
INSTANTIATE_TEST_SUITE_P(Native, StandingAtTheName,
                         ::testing::Combine(::testing::Values(Build::Native),
                                            ::testing::Values(Standing{"Fifo", MakeFifo}, Standing{"Device", MakeDevice},
                                                              Standing{"Socket", MakeSocket})),
                         StandingName);

// Control bytes in names are shown as \xNN wherever a name is printed; the file is made
// under its real name. Windows refuses control characters in file names, so the Windows
// build is shown the names it prints before it would make anything.
class TerminalTricks : public BothBuilds {};

TEST_P(TerminalTricks, NamesAreShownWithControlBytesEscaped) {
    EntryWriter unsafe;
    unsafe.AddFile("a:\x1B[2J\rfake", kTimes, ToBytes("1"));
    RunResult result = Run(Archive(unsafe));
    EXPECT_EQ(result.output, kBanner + "Unsafe path : a:\\x1B[2J\\x0Dfake\a\r\n");

    EntryWriter one;
    one.AddFile("x.txt", kTimes, ToBytes("x"));
    result = Run(Archive(one, {.runCommand = "\x1B]0;title\x07\x7F"}));
    EXPECT_EQ(result.output, kBanner + Expanding("x.txt") + "Couldn't run \\x1B]0;title\\x07\\x7F\a\r\n");
    if (build() == Build::Windows) return;

    const std::string name = "\x1B[31mred\x1B[0m\x08.txt";
    const std::string shown = "\\x1B[31mred\\x1B[0m\\x08.txt";
    EntryWriter entries;
    entries.AddFile(name, kTimes, ToBytes("new"));
    result = Run(Archive(entries));
    EXPECT_EQ(result.output, kBanner + Expanding(shown));
    EXPECT_EQ(ReadText(folder_ / name), "new");
    result = Run(Archive(entries), {.input = "N\r\n"});
    EXPECT_EQ(result.output, kBanner + shown + " already exists. Overwrite? (Y/N) : \askipping : " + shown + "\r\n");

    WriteBytes(folder_ / "in\tway", ToBytes("file"));
    EntryWriter blocked;
    blocked.AddFolder("in\tway\\sub");
    result = Run(Archive(blocked));
    EXPECT_EQ(result.output, kBanner + "Cannot make folder : in\\x09way\a\r\n");
}

INSTANTIATE_TEST_SUITE_P(BothBuilds, TerminalTricks, ::testing::Values(Build::Native, Build::Windows),
                         [](const auto& info) { return BuildName(info.param); });

// A link in the run's folder or in its folder d, with what an entry meets there. Links to
// folders stand in a path like a file in the way, whether the parts of the name are
// separated by backslashes, slashes or both; a link at a file's own name is asked about and,
// with Y, replaced by a new file. Nothing is written, made or changed in the folder outside.
struct LinkCase {
    std::string name;
    std::string entry;
    bool folderEntry;
    std::string input;
    std::string output;  // after the banner
    int exitCode;
    bool replaced;  // the link has become a regular file with the entry's contents
};

class LinkInTheWay : public ::testing::TestWithParam<std::tuple<Build, LinkCase>> {};

TEST_P(LinkInTheWay, IsNeverFollowed) {
    const auto& [build, c] = GetParam();
    TempFolder here;
    TempFolder outside;
    WriteBytes(outside / "target.txt", ToBytes("outside"));
    std::filesystem::create_directory_symlink(outside.path(), here / "out");
    std::filesystem::create_directory(here / "d");
    std::filesystem::create_directory_symlink(outside.path(), here / "d" / "out");
    std::filesystem::create_symlink(outside / "target.txt", here / "file.txt");
    std::filesystem::create_symlink(outside / "never.txt", here / "dangling.txt");
    EntryWriter entries;
    if (c.folderEntry) {
        entries.AddFolder(c.entry);
    } else {
        entries.AddFile(c.entry, kTimes, ToBytes("new"));
    }
    const RunResult result = RunArchive(build, here, Archive(entries), {.input = c.input});
    EXPECT_EQ(result.output, kBanner + c.output);
    EXPECT_EQ(result.exitCode, c.exitCode);
    const Tree escaped = ReadTree(outside);
    EXPECT_EQ(escaped.files, (std::map<std::string, std::string>{{"target.txt", "outside"}}));
    EXPECT_TRUE(escaped.folders.empty());
    if (c.replaced) {
        EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(here / c.entry)));
        EXPECT_EQ(ReadText(here / c.entry), "new");
    }
}

std::string LinkCaseName(const ::testing::TestParamInfo<std::tuple<Build, LinkCase>>& info) {
    return BuildName(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name;
}

INSTANTIATE_TEST_SUITE_P(
    BothBuilds, LinkInTheWay,
    ::testing::Combine(::testing::Values(Build::Native, Build::Windows),
                       ::testing::Values(LinkCase{"FolderLinkInAFilePath", "out\\file.txt", false, "",
                                                  "expanding : out\\file.txt ... Cannot make folder : out\a\r\n", 2},
                                         LinkCase{"FolderLinkInAFolderEntry", "out\\new", true, "",
                                                  "Cannot make folder : out\a\r\n", 2},
                                         LinkCase{"SlashInAFilePath", "out/FILE1234", false, "",
                                                  "expanding : out/FILE1234 ... Cannot make folder : out\a\r\n", 2},
                                         LinkCase{"SlashInAFolderEntry", "out/.", true, "",
                                                  "Cannot make folder : out\a\r\n", 2},
                                         LinkCase{"MixedInAFilePath", "d\\out/f.txt", false, "",
                                                  "expanding : d\\out/f.txt ... Cannot make folder : d\\out\a\r\n", 2},
                                         LinkCase{"MixedInAFolderEntry", "d/out\\new", true, "",
                                                  "Cannot make folder : d/out\a\r\n", 2},
                                         LinkCase{"SlashStartsALaterPart", "d\\/out\\f.txt", false, "",
                                                  "expanding : d\\/out\\f.txt ... Cannot make folder : d\\/out\a\r\n", 2},
                                         LinkCase{"SlashStartsALaterFolderPart", "d\\/out/x", true, "",
                                                  "Cannot make folder : d\\/out\a\r\n", 2})),
    LinkCaseName);

// Wine shows a link to a file as the file it leads to, and a dangling one not at all: these
// are the native build's alone.
INSTANTIATE_TEST_SUITE_P(
    Native, LinkInTheWay,
    ::testing::Combine(::testing::Values(Build::Native),
                       ::testing::Values(LinkCase{"LinkToAFileReplaced", "file.txt", false, "Y\r\n",
                                                  "file.txt already exists. Overwrite? (Y/N) : \a" +
                                                      Expanding("file.txt"),
                                                  0, true},
                                         LinkCase{"DanglingLinkReplaced", "dangling.txt", false, "Y\r\n",
                                                  "dangling.txt already exists. Overwrite? (Y/N) : \a" +
                                                      Expanding("dangling.txt"),
                                                  0, true})),
    LinkCaseName);

// Under Wine a Linux process is not bound by Windows sharing, so the hold is shown against
// a Windows program: while the Expander waits at the question about D\E\f.txt, the folders
// D and D\E cannot be renamed; once it has ended, they can.
TEST(HeldFolders, CannotBeRenamedUnderWine) {
    TempFolder here;
    std::filesystem::create_directories(here / "D" / "E");
    WriteBytes(here / "D" / "E" / "f.txt", ToBytes("old"));
    EntryWriter entries;
    entries.AddFile("D\\E\\a.txt", kTimes, ToBytes("a"));
    entries.AddFile("D\\E\\f.txt", kTimes, ToBytes("new"));
    const auto rename = [&](const std::string& from, const std::string& to) {
        return RunSelfExtractor(Build::Windows, StubProgramPath(Build::Windows, "rename_probe"),
                                {.input = from + "\r" + to + "\r", .workingFolder = here.path().string()})
            .output;
    };
    std::string whileHeld;
    RunOptions options{.input = "Y\r\n"};
    // The question about f.txt follows a.txt at once; output to a pipe is not flushed.
    options.inputWhen = [&](const std::string&) {
        if (!std::filesystem::exists(here / "D" / "E" / "a.txt")) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        whileHeld = rename("D", "D2");
        whileHeld += rename("D\\E", "D\\E2");
        return true;
    };
    const RunResult result = RunArchive(Build::Windows, here, Archive(entries), options);
    EXPECT_EQ(result.output, kBanner + Expanding("D\\E\\a.txt") + "D\\E\\f.txt already exists. Overwrite? (Y/N) : \a" +
                                 Expanding("D\\E\\f.txt"));
    EXPECT_EQ(whileHeld, "refused 32\r\nrefused 32\r\n");  // ERROR_SHARING_VIOLATION
    EXPECT_EQ(ReadText(here / "D" / "E" / "f.txt"), "new");
    EXPECT_EQ(rename("D\\E", "D\\E2"), "renamed\r\n");
    EXPECT_EQ(rename("D", "D2"), "renamed\r\n");
}

}  // namespace
}  // namespace quorvel::test
