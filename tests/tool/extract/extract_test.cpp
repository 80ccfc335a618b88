// quorvel extract against hostile archives and trees: nothing is ever written outside the
// folder, no link is followed, nothing partial is left under any name; and the choices a
// user has: patterns, existing files, modes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

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

    RunResult result = Run(archive, {"docs/sub", "*.h", "*prog"});
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
