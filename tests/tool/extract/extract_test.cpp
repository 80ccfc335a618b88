// quorvel extract against hostile archives and trees: nothing is ever written outside the
// folder, no link is followed, nothing partial is left under any name; a full disk, a file
// size limit or a folder the user cannot write stops it at the first failure; and the
// choices a user has: patterns, existing files, modes.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <random>

#include "packer/item.hpp"
#include "packer/item_encoder.hpp"
#include "support/tool_fixture.hpp"

namespace quorvel::test {
namespace {

constexpr char kLink[] = "<link>";
constexpr char kFolder[] = "<folder>";

// Every name below a root, not following links: a file's contents, or what else it is.
std::map<std::string, std::string> TreeOf(const fs::path& root) {
    std::map<std::string, std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = entry.path().lexically_relative(root).string();
        tree[name] = entry.is_symlink() ? kLink : entry.is_directory() ? kFolder : ReadText(entry.path());
    }
    return tree;
}

class Extract : public ::testing::Test {
protected:
    Extract() {
        fs::create_directories(dir());
        WriteFile(outside() / "target.txt", ToBytes("outside"));
    }
    fs::path dir() const { return work_ / "dir"; }
    fs::path outside() const { return work_ / "outside"; }

    RunResult Run(const Bytes& file, std::vector<std::string> arguments = {}, RunOptions options = {}) {
        const fs::path sfx = work_ / "a.sfx";
        Bytes bytes = StubBytes(Build::Native);
        bytes.insert(bytes.end(), file.begin(), file.end());
        WriteBytes(sfx, bytes);
        arguments.insert(arguments.begin(), {"extract", "-q", "-d", dir().string(), sfx.string()});
        return Quorvel(arguments, options);
    }
    // Whatever happened, nothing outside was touched and no temporary file is left.
    void ExpectNothingEscapedOrLeft() {
        EXPECT_EQ(TreeOf(outside()), (std::map<std::string, std::string>{{"target.txt", "outside"}}));
        for (const auto& [name, what] : TreeOf(dir())) EXPECT_EQ(name.find(".quorvel-"), std::string::npos) << name;
    }
    TempFolder work_;
};

struct HostileCase {
    std::string name;
    std::function<void(EntryWriter&)> entries;
    std::function<void(const fs::path& dir, const fs::path& outside)> plant;
    std::vector<std::string> arguments;
    int exitCode;
    std::string message;
    std::map<std::string, std::string> tree;  // what the folder holds afterwards
};

TEST_F(Extract, HostileArchivesAndTrees) {
    const auto file = [](const std::string& name, const std::string& contents = "new") {
        return [=](EntryWriter& w) { w.AddFile(name, kTimes, ToBytes(contents)); };
    };
    const auto link = [](const std::string& at, const std::string& to) {
        return [=](const fs::path& d, const fs::path& out) { fs::create_symlink(out / to, d / at); };
    };
    const HostileCase cases[] = {
        {"Traversal",
         [](EntryWriter& w) {
             for (const char* name : {"..\\up.txt", "\\root.txt", "/abs.txt", "C:\\c.txt", "a\\..\\..\\up2.txt",
                                      "a/../../up3.txt", "a\\ ..\\x"})
                 w.AddFile(name, kTimes, ToBytes("escaped"));
             w.AddFile("ok.txt", kTimes, ToBytes("ok"));
         },
         {}, {}, 1, "refused: the name could reach outside the folder", {{"ok.txt", "ok"}}},
        {"FolderLinkOnTheWay",
         [](EntryWriter& w) {
             w.AddFile("out\\file.txt", kTimes, ToBytes("new"));
             w.AddFolder("out\\made");
             w.AddFile("later.txt", kTimes, ToBytes("later"));
         },
         [](const fs::path& d, const fs::path& out) { fs::create_directory_symlink(out, d / "out"); }, {"-y"}, 1,
         "out: cannot make folder: a link stands there", {{"out", kLink}, {"later.txt", "later"}}},
        {"LinkDeeperOnTheWay", file("d\\up\\x.txt"),
         [](const fs::path& d, const fs::path& out) {
             fs::create_directory(d / "d");
             fs::create_directory_symlink(out, d / "d" / "up");
         },
         {"-y"}, 1, "a link stands there", {{"d", kFolder}, {"d/up", kLink}}},
        {"LinkAtTheFileNameReplaced", file("file.txt"), link("file.txt", "target.txt"), {"-y"}, 0, "",
         {{"file.txt", "new"}}},
        {"DanglingLinkReplaced", file("dangling.txt"), link("dangling.txt", "never.txt"), {"-y"}, 0, "",
         {{"dangling.txt", "new"}}},
        {"LinkAtTheFileNameKept", file("file.txt"), link("file.txt", "target.txt"), {}, 0, "",
         {{"file.txt", kLink}}},
        {"FolderAtTheFileName", file("d"), [](const fs::path& d, const fs::path&) { fs::create_directory(d / "d"); },
         {"-y"}, 1, "d: cannot be given its name", {{"d", kFolder}}},
        {"HugeEntrySize",
         [](EntryWriter& w) {
             w.AddFile("first.txt", kTimes, ToBytes("first"));
             w.AddRawFile({"big.bin", kTimes, 0x7FFFFFFF, {}, EncodeItems(std::vector<Item>(100, LiteralItem('a')))});
         },
         {}, {}, 1, "entry \"big.bin\": block 0, offset ", {{"first.txt", "first"}}},
        {"BrokenData",
         [](EntryWriter& w) {
             w.AddFile("good.txt", kTimes, ToBytes("good"));
             w.AddRawFile({"bad.txt", kTimes, 5, {}, EncodeItems(std::vector<Item>{LiteralItem('a'), MatchItem(10, 1)})});
             w.AddFile("never.txt", kTimes, ToBytes("never"));
         },
         {}, {}, 1, "entry \"bad.txt\": block 0, offset ", {{"good.txt", "good"}}},
        {"NamesOf300Bytes",
         [](EntryWriter& w) {
             w.AddFile(std::string(300, 'n'), kTimes, ToBytes("n"));
             w.AddFile(std::string(100, 'a') + "\\" + std::string(100, 'b') + "\\" + std::string(100, 'c'), kTimes,
                       ToBytes("abc"));
             w.AddFile("ok.txt", kTimes, ToBytes("ok"));
         },
         {}, {}, 1, "longer than the Expander can create", {{"ok.txt", "ok"}}},
        {"PartLongerThanTheSystemTakes", file(std::string(258, 'x')), {}, {}, 1, "File name too long", {}},
        // A later entry sees the earlier one under its name, though that was written on
        // another thread.
        {"SameNameTwice",
         [](EntryWriter& w) {
             w.AddFile("dup.txt", kTimes, ToBytes("one"));
             w.AddFile("dup.txt", kTimes, ToBytes("two"));
             w.AddFile("dup.txt", kTimes, ToBytes("three"));
         },
         {}, {"--overwrite=rename"}, 0, "", {{"dup.txt", "one"}, {"dup (1).txt", "two"}, {"dup (2).txt", "three"}}},
        // A file's name that ends in a "." part names a folder: the one extracted into, or
        // one inside it.
        {"FileNamedAsAFolder",
         [](EntryWriter& w) {
             w.AddFile(".", kTimes, ToBytes("dot"));
             w.AddFile("d/.", kTimes, ToBytes("dot"));
             w.AddFile("ok.txt", kTimes, ToBytes("ok"));
         },
         {}, {"-y"}, 1, "\"d/.\": the name names no file", {{"ok.txt", "ok"}}},
        {"FileThenFolderOfItsName",
         [](EntryWriter& w) {
             w.AddFile("x", kTimes, ToBytes("file"));
             w.AddFile("x\\y", kTimes, ToBytes("inside"));
         },
         {}, {}, 1, "x: cannot make folder: a file stands there", {{"x", "file"}}},
    };
    for (const HostileCase& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir());
        fs::create_directories(dir());
        if (c.plant) c.plant(dir(), outside());
        EntryWriter entries;
        c.entries(entries);
        const RunResult result = Run(Archive(entries), c.arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.errors;
        EXPECT_NE(result.errors.find(c.message), std::string::npos) << result.errors;
        EXPECT_EQ(TreeOf(dir()), c.tree);
        ExpectNothingEscapedOrLeft();
    }
}

// A hundred thousand entries are all read; those of the folder asked for are made, the
// others decoded and dropped.
TEST_F(Extract, AHundredThousandEntries) {
    EntryWriter entries;
    constexpr int kEntries = 100000;
    for (int i = 0; i < kEntries; ++i)
        entries.AddRawFile({"f" + std::to_string(i % 100) + "\\" + std::to_string(i), kTimes, 0, {}, {}});
    const RunResult result = Run(Archive(entries), {"f7"});
    EXPECT_EQ(result.exitCode, 0) << result.errors;
    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir())) files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, static_cast<std::size_t>(kEntries / 100));
    EXPECT_TRUE(fs::exists(dir() / "f7" / "99907"));
    EXPECT_FALSE(fs::exists(dir() / "f6"));
}

// An interrupt or a kill while a large file is written leaves it under no name, and an
// existing file it was to replace as it was.
TEST_F(Extract, InterruptLeavesNothingPartial) {
    const Bytes archive = Archive(DoneThenAGigabyte(kTimes));
    for (const bool existing : {false, true}) {
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGKILL}) {
            SCOPED_TRACE(std::to_string(signal) + (existing ? " over an existing file" : ""));
            fs::remove_all(dir());
            fs::create_directories(dir());
            if (existing) WriteBytes(dir() / "big.bin", ToBytes("old"));
            const RunResult result =
                Run(archive, {"-y"},
                    {.interruptWhen = [&] { return fs::exists(dir() / "done.txt"); }, .interruptSignal = signal});
            EXPECT_EQ(result.signal, signal);
            auto expected = std::map<std::string, std::string>{{"done.txt", "done"}};
            if (existing) expected["big.bin"] = "old";
            EXPECT_EQ(TreeOf(dir()), expected);
        }
    }
}

// Interrupts at random moments of runs with -y over many small files, on a fresh tree and
// over an older one: every file left is whole, the old one or the new one, and no temporary
// name is left, though a file is made, linked under a temporary name and renamed over the
// old one while the interrupt may come.
TEST_F(Extract, InterruptAtRandomMomentsLeavesWholeFiles) {
    constexpr int kFiles = 1000;
    EntryWriter entries;
    std::map<std::string, std::string> fresh;
    for (int i = 0; i < kFiles; ++i) {
        const std::string folder = "d" + std::to_string(i % 10);
        const Bytes contents = WordBytes(1 + i % 400, static_cast<std::uint32_t>(i));
        entries.AddFile(folder + "\\f" + std::to_string(i), kTimes, contents);
        fresh[folder + "/f" + std::to_string(i)] = AsText(contents);
    }
    const Bytes archive = Archive(entries);
    // The older tree, linked into place for each run: making its files anew each time would
    // take far longer.
    const fs::path older = work_ / "older";
    for (const auto& [name, contents] : fresh) WriteFile(older / name, ToBytes("old"));
    std::mt19937 random(22);
    int cutShort = 0;  // runs that the interrupt ended with some files written
    for (const bool existing : {false, true}) {
        for (int run = 0; run < 20; ++run) {
            SCOPED_TRACE("run " + std::to_string(run) + (existing ? " over an older tree" : ""));
            fs::remove_all(dir());
            fs::create_directories(dir());
            if (existing) {
                for (const auto& [name, contents] : fresh) {
                    fs::create_directories((dir() / name).parent_path());
                    fs::create_hard_link(older / name, dir() / name);
                }
            }
            // Counted from the first file's making, so that a slow start does not put the
            // moments before the extraction.
            const auto delay = std::chrono::microseconds(random() % 20000);
            std::optional<std::chrono::steady_clock::time_point> started;
            const auto interruptWhen = [&] {
                if (!started && fs::exists(dir() / "d0" / "f0") && (!existing || ReadText(dir() / "d0" / "f0") != "old"))
                    started = std::chrono::steady_clock::now();
                return started && std::chrono::steady_clock::now() >= *started + delay;
            };
            const RunResult result = Run(archive, {"-y"}, {.interruptWhen = interruptWhen});
            std::size_t written = 0;
            for (const auto& [name, what] : TreeOf(dir())) {
                if (what == kFolder) continue;
                const auto original = fresh.find(name);
                ASSERT_TRUE(original != fresh.end()) << name;
                written += what == original->second ? 1 : 0;
                if (what != original->second) {
                    EXPECT_TRUE(existing && what == "old") << name << ": " << what.size() << " bytes";
                }
            }
            ExpectNothingEscapedOrLeft();
            if (result.signal == SIGINT && written > 0 && written < fresh.size()) ++cutShort;
        }
    }
    EXPECT_GT(cutShort, 10);
}

// The first bytes decide the mode a file is made with, however few of them there are; a
// file replacing another gets its own mode and bytes, not the old one's.
TEST_F(Extract, ShortFilesGetTheirBytesAndMode) {
    const struct {
        std::string name;
        std::string contents;
        mode_t mode;
    } files[] = {
        {"empty", "", 0666},     {"hash", "#", 0666},         {"shebang", "#!", 0755},
        {"elf3", "\x7F" "EL", 0666}, {"elf", "\x7F" "ELF", 0755}, {"script", "#!/bin/sh\n", 0755},
        {"text", "text", 0666},
    };
    EntryWriter entries;
    for (const auto& file : files) entries.AddFile(file.name, kTimes, ToBytes(file.contents));
    const Bytes archive = Archive(entries);
    const mode_t mask = umask(0);
    umask(mask);
    for (const bool existing : {false, true}) {
        SCOPED_TRACE(existing ? "replacing" : "fresh");
        fs::remove_all(dir());
        fs::create_directories(dir());
        if (existing) {
            for (const auto& file : files) {
                WriteBytes(dir() / file.name, ToBytes("older and longer"));
                chmod((dir() / file.name).c_str(), 0600 | (file.mode & 0111 ? 0 : 0100));
            }
        }
        const RunResult result = Run(archive, {"-y"});
        EXPECT_EQ(result.exitCode, 0) << result.errors;
        for (const auto& file : files) {
            EXPECT_EQ(ReadText(dir() / file.name), file.contents) << file.name;
            struct stat info;
            ASSERT_EQ(lstat((dir() / file.name).c_str(), &info), 0) << file.name;
            EXPECT_EQ(info.st_mode & 0777, file.mode & ~mask) << file.name;
            EXPECT_EQ(info.st_nlink, 1u) << file.name;
        }
        ExpectNothingEscapedOrLeft();
    }
}

// A tmpfs mounted for one test and unmounted after it, where the system lets this process
// mount one (root, and no container that forbids it).
class Tmpfs {
public:
    Tmpfs(const fs::path& at, const std::string& options) : at_(at) {
        fs::create_directories(at);
        const RunResult mounted = RunProgram({"mount", "-t", "tmpfs", "-o", options, "tmpfs", at.string()}, {});
        mounted_ = mounted.exitCode == 0;
        why_ = mounted.errors;
    }
    ~Tmpfs() {
        if (mounted_) RunProgram({"umount", at_.string()}, {});
    }
    Tmpfs(const Tmpfs&) = delete;
    Tmpfs& operator=(const Tmpfs&) = delete;
    bool mounted() const { return mounted_; }
    const std::string& why() const { return why_; }

private:
    fs::path at_;
    bool mounted_ = false;
    std::string why_;
};

// A file of zero bytes of the given length, its data a few items long.
RawFileEntry ZeroFile(const std::string& name, std::uint32_t length) {
    std::vector<Item> items{LiteralItem(0)};
    items.insert(items.end(), (length - 1) / 4352, MatchItem(4352, 1));
    return {name, kTimes, static_cast<std::uint32_t>(1 + (length - 1) / 4352 * 4352), {}, EncodeItems(items)};
}

std::size_t LinesIn(const std::string& text) { return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')); }

// Two ways of running out of room in the middle of an archive: a 2 MB tmpfs, and a file size
// limit of 1 MB (prlimit, for a user who cannot mount). Either way the extraction stops at
// the 3 MB file with one message, which names it and the cause, leaves nothing of it nor of
// the files after it, and keeps the files before it whole.
class ExtractOutOfRoom : public Extract, public ::testing::WithParamInterface<std::string> {};

TEST_P(ExtractOutOfRoom, StopsAtTheFirstFailure) {
    EntryWriter entries;
    for (int i = 0; i < 5; ++i) entries.AddFile("early\\e" + std::to_string(i), kTimes, WordBytes(20000, i));
    entries.AddRawFile(ZeroFile("big.bin", 3 << 20));
    for (int i = 0; i < 5; ++i) entries.AddFile("late" + std::to_string(i), kTimes, WordBytes(20000, i));
    const Bytes archive = Archive(entries);
    std::optional<Tmpfs> tmpfs;
    std::string cause = "File too large";
    RunOptions options;
    if (GetParam() == "Tmpfs") {
        tmpfs.emplace(dir(), "size=2m");
        if (!tmpfs->mounted()) GTEST_SKIP() << "no tmpfs can be mounted here: " << tmpfs->why();
        cause = "No space left on device";
    }
    RunResult result;
    if (GetParam() == "FileSizeLimit") {
        const fs::path sfx = work_ / "a.sfx";
        Bytes bytes = StubBytes(Build::Native);
        bytes.insert(bytes.end(), archive.begin(), archive.end());
        WriteBytes(sfx, bytes);
        result = RunProgram({"prlimit", "--fsize=1048576", kQuorvel, "extract", "-q", "-d", dir().string(), sfx.string()}, {});
    } else {
        result = Run(archive);
    }
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.errors, "quorvel: " + (dir() / "big.bin").string() + ": cannot be written (" + cause +
                                 "); extraction stopped\n");
    std::map<std::string, std::string> expected{{"early", kFolder}};
    for (int i = 0; i < 5; ++i) expected["early/e" + std::to_string(i)] = AsText(WordBytes(20000, i));
    EXPECT_EQ(TreeOf(dir()), expected);
    ExpectNothingEscapedOrLeft();
}

INSTANTIATE_TEST_SUITE_P(Ways, ExtractOutOfRoom, ::testing::Values("Tmpfs", "FileSizeLimit"),
                         [](const auto& way) { return way.param; });

// A user without root rights (nobody, through setpriv) extracting where it cannot write, on
// the disk and on a tmpfs: the target folder itself stops the extraction at its first entry
// with one message; a folder inside it concerns its own entries, which are told and
// counted, while the others are extracted.
class ExtractAsUser : public Extract, public ::testing::WithParamInterface<std::string> {
protected:
    RunResult AsNobody(const Bytes& archive) {
        const fs::path sfx = work_ / "a.sfx";
        Bytes bytes = StubBytes(Build::Native);
        bytes.insert(bytes.end(), archive.begin(), archive.end());
        WriteBytes(sfx, bytes);
        return RunProgram({"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", kQuorvel, "extract", "-q",
                           "-d", (place_ / "target").string(), sfx.string()},
                          {});
    }
    fs::path place_;
};

TEST_P(ExtractAsUser, StopsOnlyWhereEveryEntryWouldFail) {
    const passwd* nobody = getpwnam("nobody");
    if (geteuid() != 0 || nobody == nullptr) GTEST_SKIP() << "needs root and a user nobody, to run as nobody";
    fs::permissions(work_.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                      fs::perms::others_read | fs::perms::others_exec);
    place_ = work_ / "place";
    std::optional<Tmpfs> tmpfs;
    if (GetParam() == "Tmpfs") {
        tmpfs.emplace(place_, "size=2m,mode=0755");
        if (!tmpfs->mounted()) GTEST_SKIP() << "no tmpfs can be mounted here: " << tmpfs->why();
    }
    fs::create_directories(place_ / "target");
    try {
        if (RunProgram({"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", kQuorvel, "--version"}, {})
                .exitCode != 0)
            GTEST_SKIP() << "nobody cannot run " << kQuorvel << " here";
    } catch (const std::exception& error) {
        GTEST_SKIP() << "no setpriv to run as nobody: " << error.what();
    }
    EntryWriter entries;
    entries.AddFile("a.txt", kTimes, ToBytes("a"));
    for (int i = 0; i < 50; ++i) entries.AddFile("locked\\f" + std::to_string(i), kTimes, ToBytes("f"));
    entries.AddFile("open\\b.txt", kTimes, ToBytes("b"));
    const Bytes archive = Archive(entries);

    RunResult result = AsNobody(archive);  // the target, root's, is not nobody's to write
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.errors, "quorvel: " + (place_ / "target/a.txt").string() +
                                 ": cannot be written (Permission denied); extraction stopped\n");
    EXPECT_TRUE(fs::is_empty(place_ / "target"));

    ASSERT_EQ(chown((place_ / "target").c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    fs::create_directory(place_ / "target/locked");  // root's, inside nobody's
    result = AsNobody(archive);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(LinesIn(result.errors), 51u) << result.errors;
    EXPECT_NE(result.errors.find("locked/f49: cannot be written (Permission denied)\n"), std::string::npos);
    EXPECT_TRUE(result.errors.ends_with("quorvel: 50 errors\n")) << result.errors;
    EXPECT_EQ(ReadText(place_ / "target/a.txt"), "a");
    EXPECT_EQ(ReadText(place_ / "target/open/b.txt"), "b");
    EXPECT_TRUE(fs::is_empty(place_ / "target/locked"));
}

INSTANTIATE_TEST_SUITE_P(Places, ExtractAsUser, ::testing::Values("Disk", "Tmpfs"),
                         [](const auto& place) { return place.param; });

TEST_F(Extract, ExistingFilesPatternsAndModes) {
    const Bytes first = WordBytes(3000, 5);
    Bytes second(first.begin(), first.begin() + 1000);
    second.push_back('!');
    EntryWriter entries;
    entries.AddFile("docs\\a.txt", kTimes, first);
    entries.AddFile("docs\\sub\\run.sh", kTimes, ToBytes("#!/bin/sh\n"));
    entries.AddFile("src\\c.h", kTimes, second, {2, 1000});  // starts from docs\a.txt
    entries.AddFile("src\\prog", kTimes, ToBytes("\x7F" "ELF..."));
    entries.AddFile(".profile", kTimes, ToBytes("new"));
    const Bytes archive = Archive(entries);

    RunResult result = Run(archive, {"docs/sub/", "*.h", "*prog"});  // a folder as tab completion writes it
    EXPECT_EQ(result.exitCode, 0) << result.errors;
    EXPECT_EQ(TreeOf(dir()), (std::map<std::string, std::string>{{"docs", kFolder},
                                                                  {"docs/sub", kFolder},
                                                                  {"docs/sub/run.sh", "#!/bin/sh\n"},
                                                                  {"src", kFolder},
                                                                  {"src/c.h", AsText(second)},
                                                                  {"src/prog", "\x7F" "ELF..."}}));
    const mode_t mask = umask(0);
    umask(mask);
    for (const auto& [name, mode] : std::map<std::string, mode_t>{{"docs/sub/run.sh", 0755}, {"src/prog", 0755}, {"src/c.h", 0666}}) {
        struct stat info;
        ASSERT_EQ(stat((dir() / name).c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, mode & ~mask) << name;
    }
    result = Run(archive, {"nothing*"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.errors.find("no entry matches nothing*"), std::string::npos);

    const struct {
        std::vector<std::string> arguments;
        std::map<std::string, std::string> files;  // in dir, after it held .profile and ".profile (1)"
    } choices[] = {
        {{}, {{".profile", "old"}, {".profile (1)", "old 1"}}},
        {{"-n"}, {{".profile", "old"}, {".profile (1)", "old 1"}}},
        {{"-y"}, {{".profile", "new"}, {".profile (1)", "old 1"}}},
        {{"--overwrite=always"}, {{".profile", "new"}, {".profile (1)", "old 1"}}},
        {{"--overwrite", "rename"}, {{".profile", "old"}, {".profile (1)", "old 1"}, {".profile (2)", "new"}}},
    };
    for (const auto& choice : choices) {
        std::string given;
        for (const std::string& argument : choice.arguments) given += " " + argument;
        SCOPED_TRACE("extract" + given);
        fs::remove_all(dir());
        fs::create_directories(dir());
        WriteBytes(dir() / ".profile", ToBytes("old"));
        WriteBytes(dir() / ".profile (1)", ToBytes("old 1"));
        std::vector<std::string> arguments = choice.arguments;
        arguments.push_back(".profile");
        result = Run(archive, arguments);
        EXPECT_EQ(result.exitCode, 0) << result.errors;
        EXPECT_EQ(TreeOf(dir()), choice.files);
    }
}

}  // namespace
}  // namespace quorvel::test
