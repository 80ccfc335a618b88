// quorvel pack end to end: folder trees packed and given back by the Expander, the same
// bytes for the same inputs, and every error with its message and no output left behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "support/tool_fixture.hpp"

namespace quorvel::test {
namespace {

namespace fs = std::filesystem;

// Every folder and file below a root: relative path, kind, contents and last-write time
// (in 100-nanosecond units, as an archive keeps it).
std::map<std::string, std::string> Snapshot(const fs::path& root) {
    std::map<std::string, std::string> snapshot;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string relative = fs::relative(entry.path(), root).string();
        if (entry.is_directory()) {
            snapshot[relative] = "folder";
            continue;
        }
        struct stat info;
        stat(entry.path().c_str(), &info);
        snapshot[relative] = ReadText(entry.path()) + "@" + std::to_string(Nanoseconds(info.st_mtim) / 100);
    }
    return snapshot;
}

class Pack : public ::testing::Test {
protected:
    fs::path Input(const std::string& name) const { return work_ / "in" / name; }
    fs::path Output() const { return work_ / "sample.sfx"; }

    // Runs the packed file in a fresh folder and returns that folder.
    fs::path Unpack(Build build, RunOptions options = {}, RunResult* result = nullptr) {
        const fs::path folder = work_ / ("out" + std::to_string(++unpacks_));
        fs::create_directories(folder);
        options.workingFolder = folder.string();
        const RunResult run = RunSelfExtractor(build, Output(), options);
        EXPECT_FALSE(run.timedOut);
        if (result != nullptr) *result = run;
        return folder;
    }

    // Checks that a failed pack said why and left no output.
    void ExpectFailure(const RunResult& result, const std::string& message) {
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.errors.find(message), std::string::npos) << result.errors;
        ExpectNoOutput();
    }

    // Neither an output (sample.sfx, sample.exe) nor a partial one.
    void ExpectNoOutput() {
        for (const auto& entry : fs::directory_iterator(work_.path()))
            EXPECT_FALSE(entry.path().filename().string().starts_with("sample.")) << entry.path();
    }

    TempFolder work_;
    int unpacks_ = 0;
};

TEST_F(Pack, FolderTreeComesBackWhole) {
    MakeSampleTree(Input("sample"), 300);
    const RunResult packed = Quorvel({"pack", "--stub", "native", "--comment", "Line one\r\nLine two", "--run",
                                      "not-there.txt", "-o", Output().string(), Input("sample").string()});
    ASSERT_EQ(packed.exitCode, 0) << packed.errors;
    EXPECT_EQ(packed.errors, "");  // no progress line when standard error is no terminal
    RunResult run;
    const fs::path out = Unpack(Build::Native, {}, &run);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output.rfind(kBanner + "Line one\r\nLine two\r\n", 0), 0u) << run.output;
    EXPECT_NE(run.output.find("expanding : sample\\docs\\near copy.txt ... end.\r\n"), std::string::npos);
    EXPECT_TRUE(run.output.ends_with("Couldn't run not-there.txt\a\r\n"));
    EXPECT_EQ(Snapshot(out / "sample"), Snapshot(Input("sample")));
}

TEST_F(Pack, PasswordArchiveOpensWithItsPassword) {
    MakeSampleTree(Input("secret"), 3);
    std::ofstream(work_ / "password.txt") << "Correct Horse\n";
    ASSERT_EQ(Quorvel({"pack", "-q", "--stub", "native", "--password-file", (work_ / "password.txt").string(), "-o",
                       Output().string(), Input("secret").string()})
                  .exitCode,
              0);
    RunResult run;
    fs::path out = Unpack(Build::Native, {.input = "correct horse\r\n"}, &run);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_FALSE(fs::exists(out / "secret"));
    out = Unpack(Build::Native, {.input = "Correct Horse\r\n"}, &run);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(Snapshot(out / "secret"), Snapshot(Input("secret")));
}

TEST_F(Pack, WindowsExpanderUnderWine) {
    MakeSampleTree(Input("win"), 5);
    const fs::path setup = work_ / "setup.exe";
    ASSERT_EQ(Quorvel({"pack", "--comment", "for Windows", "-o", setup.string(), Input("win").string()}).exitCode, 0);
    // The shipped i686 Expander is in front; it runs as is, or as its x86_64 twin where this
    // machine cannot run 32-bit programs.
    Bytes packed = ReadBytes(setup);
    const Bytes shipped = ReadBytes(std::string(QUORVEL_STUB_DIR) + "/expander.exe");
    ASSERT_TRUE(std::equal(shipped.begin(), shipped.end(), packed.begin()));
    const Bytes runnable = StubBytes(Build::Windows);
    std::copy(runnable.begin(), runnable.end(), packed.begin());
    WriteBytes(Output(), packed);
    RunResult run;
    const fs::path out = Unpack(Build::Windows, {}, &run);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(Snapshot(out / "win"), Snapshot(Input("win")));
}

// Without --stub the output's name decides: .exe in any case gets the Windows Expander,
// anything else the native one, silently when standard error is no terminal.
TEST_F(Pack, StubFollowsTheOutputNameUnlessGiven) {
    WriteFile(Input("s/a.txt"), ToBytes("a"));
    const Bytes windows = ReadBytes(std::string(QUORVEL_STUB_DIR) + "/expander.exe");
    const Bytes native = ReadBytes(std::string(QUORVEL_STUB_DIR) + "/expander");
    const struct {
        std::string output;
        std::vector<std::string> stub;
        const Bytes& expected;
    } cases[] = {
        {"setup.exe", {}, windows},         {"SETUP.EXE", {}, windows},
        {"Setup.eXe", {}, windows},         {"setup.sfx", {}, native},
        {"setup", {}, native},              {"setup.exe.sfx", {}, native},
        {"exe", {}, native},                {"setup.exe", {"--stub", "native"}, native},
        {"setup.sfx", {"--stub", "windows"}, windows},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        const fs::path output = work_ / c.output;
        std::vector<std::string> arguments = {"pack", "-o", output.string(), Input("s").string()};
        arguments.insert(arguments.begin() + 1, c.stub.begin(), c.stub.end());
        const RunResult packed = Quorvel(arguments);
        ASSERT_EQ(packed.exitCode, 0) << packed.errors;
        EXPECT_EQ(packed.errors, "");
        const Bytes front = ReadBytes(output);
        EXPECT_TRUE(std::equal(c.expected.begin(), c.expected.end(), front.begin()));
        fs::remove(output);
    }
    const RunResult unknown = Quorvel({"pack", "--stub", "linux", "-o", Output().string(), Input("s").string()});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.errors.find("--stub takes windows, native or an Expander FILE; \"linux\""), std::string::npos)
        << unknown.errors;
    ExpectNoOutput();
}

// Twice, and whatever the number of threads compressing and searching.
TEST_F(Pack, SameInputsGiveTheSameBytes) {
    MakeSampleTree(Input("same"), 20);
    // Large enough for its matches to be searched on a second thread where there are two.
    std::string large;
    for (int line = 0; large.size() < (3u << 19); ++line)
        large += "line " + std::to_string(line * 7919 % 100003) + " of a file searched ahead\n";
    WriteFile(Input("same/large.txt"), ToBytes(large));
    std::ofstream(work_ / "password.txt") << "pw";
    std::vector<Bytes> packs;
    for (const char* threads : {"1", "2", "4", "2"}) {
        ASSERT_EQ(Quorvel({"pack", "-q", "--threads", threads, "--password-file", (work_ / "password.txt").string(),
                           "-o", Output().string(), Input("same").string()})
                      .exitCode,
                  0);
        packs.push_back(ReadBytes(Output()));
    }
    for (const Bytes& pack : packs) EXPECT_EQ(pack, packs[0]);
}

// Packing leaves a file's last access time as it was and stores the time it had before it
// was read, so that packing twice gives the same bytes also where reading updates access
// times. The access time is set older than the last write, which relatime updates on a read.
TEST_F(Pack, AccessTimeIsStoredAsBeforeAndLeftAsItWas) {
    const timespec times[2] = {{1000000000, 123456700}, {1500000000, 0}};  // last access, last write
    const fs::path control = work_ / "control.txt";
    WriteFile(control, ToBytes("control"));
    WriteFile(Input("times/a.txt"), ToBytes("accessed"));
    for (const fs::path& file : {control, Input("times/a.txt")})
        ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    const auto accessed = [](const fs::path& file) {
        struct stat info {};
        stat(file.c_str(), &info);
        return Nanoseconds(info.st_atim);
    };
    ReadText(control);
    if (accessed(control) == Nanoseconds(times[0])) GTEST_SKIP() << "reading does not update access times here";

    std::vector<Bytes> packs;
    for (int i = 0; i < 2; ++i) {
        const RunResult packed =
            Quorvel({"pack", "-q", "--stub", "native", "-o", Output().string(), Input("times").string()});
        ASSERT_EQ(packed.exitCode, 0) << packed.errors;
        packs.push_back(ReadBytes(Output()));
    }
    EXPECT_EQ(packs[0], packs[1]);
    EXPECT_EQ(accessed(Input("times/a.txt")), Nanoseconds(times[0]));
    const fs::path out = Unpack(Build::Native);
    EXPECT_EQ(accessed(out / "times/a.txt"), Nanoseconds(times[0]));
}

// The archive gets 0777 less the umask in front of the native Expander, 0666 less it in
// front of the Windows one: never more than the umask lets through.
TEST_F(Pack, OutputModeFollowsTheUmask) {
    WriteFile(Input("m/a.txt"), ToBytes("a"));
    const struct {
        mode_t umask;
        const char* output;
        mode_t mode;
    } cases[] = {
        {022, "sample.sfx", 0755}, {077, "sample.sfx", 0700}, {027, "sample.exe", 0640}, {077, "sample.exe", 0600}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output + std::string(" under umask ") + std::to_string(c.umask));
        const fs::path output = work_ / c.output;
        const mode_t saved = umask(c.umask);
        const RunResult packed = Quorvel({"pack", "-q", "-o", output.string(), Input("m").string()});
        umask(saved);
        ASSERT_EQ(packed.exitCode, 0) << packed.errors;
        struct stat info {};
        ASSERT_EQ(stat(output.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, c.mode);
        fs::remove(output);
    }
}

// The Expander reads a password up to CR and stops its input at 0x1A: such passwords, and
// zero bytes, are refused before anything is written.
TEST_F(Pack, PasswordsTheExpanderCannotReadAreRefused) {
    WriteFile(Input("p/a.txt"), ToBytes("a"));
    const fs::path file = work_ / "password.txt";
    const struct {
        std::string line;
        std::string named;
    } cases[] = {{"pass\rword", "CR"}, {"pass\x1Aword", "0x1A"}, {std::string("pass\0word", 9), "a zero byte"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.named);
        std::ofstream(file, std::ios::binary) << c.line << "\n";
        ExpectFailure(Quorvel({"pack", "-q", "--password-file", file.string(), "-o", Output().string(),
                               Input("p").string()}),
                      "the password holds " + c.named + ": the Expander could not read it back");
    }
    std::ofstream(file, std::ios::binary) << "password\r\n";  // a CR LF line end is no part of it
    EXPECT_EQ(Quorvel({"pack", "-q", "--password-file", file.string(), "-o", Output().string(), Input("p").string()})
                  .exitCode,
              0);
}

TEST_F(Pack, SimilarFilesStartFromEachOther) {
    const Bytes random = RandomBytes(12000, 9);
    WriteFile(Input("one/a.bin"), random);
    ASSERT_EQ(Quorvel({"pack", "-q", "-o", Output().string(), Input("one").string()}).exitCode, 0);
    const std::size_t single = fs::file_size(Output());
    WriteFile(Input("one/b.bin"), random);
    Bytes changed = random;
    changed[6000] ^= 1;
    WriteFile(Input("one/c.bin"), changed);
    ASSERT_EQ(Quorvel({"pack", "-q", "-o", Output().string(), Input("one").string()}).exitCode, 0);
    EXPECT_LT(fs::file_size(Output()), single + 500);
}

TEST_F(Pack, StoredNamesWithABaseFolder) {
    WriteFile(Input("base/x/y/file.txt"), ToBytes("y"));
    const RunResult twice = Quorvel({"pack", "-q", "--stub", "native", "-C", Input("base").string(), "-o",
                                     Output().string(), "x/y", "x/y/file.txt"});
    EXPECT_NE(twice.errors.find("stored twice as x\\y\\file.txt"), std::string::npos) << twice.errors;
    const RunResult stripped = Quorvel({"pack", "-q", "--stub", "native", "-C", Input("base").string(), "-o",
                                        Output().string(), "../base/x"});
    ASSERT_EQ(stripped.exitCode, 0) << stripped.errors;
    EXPECT_NE(stripped.errors.find("leading \"/\" and \"..\" parts are not stored"), std::string::npos);
    const fs::path out = Unpack(Build::Native);
    EXPECT_EQ(ReadText(out / "base/x/y/file.txt"), "y");
}

// Links to files are stored; links to folders are skipped unless -L follows them, and a
// followed link back to a folder it lies in is skipped with a warning. Skipped links and
// special files are summed up in one line, or named each with -v.
TEST_F(Pack, LinksAndSpecialFiles) {
    WriteFile(Input("links/real.txt"), ToBytes("real"));
    WriteFile(Input("links/folder/inner.txt"), ToBytes("inner"));
    fs::create_symlink("real.txt", Input("links/to-file"));
    fs::create_directory_symlink("folder", Input("links/to-folder"));
    fs::create_directory_symlink("..", Input("links/folder/back"));
    fs::create_symlink("nowhere", Input("links/broken"));
    ASSERT_EQ(mkfifo(Input("links/pipe").c_str(), 0644), 0);
    const std::string links = Input("links").string();

    const RunResult summed = Quorvel({"pack", "-q", "-o", Output().string(), links});
    ASSERT_EQ(summed.exitCode, 0);
    EXPECT_EQ(summed.errors,
              "quorvel: warning: skipped 2 links to folders, 1 link that leads nowhere and 1 special file; "
              "-v lists them\nquorvel: 1 warning\n");
    fs::path out = Unpack(Build::Native);
    EXPECT_EQ(ReadText(out / "links/to-file"), "real");
    EXPECT_EQ(ReadText(out / "links/folder/inner.txt"), "inner");
    for (const char* skipped : {"to-folder", "folder/back", "broken", "pipe"})
        EXPECT_FALSE(fs::exists(out / "links" / skipped)) << skipped;

    const RunResult listed = Quorvel({"pack", "-q", "-v", "-o", Output().string(), links});
    ASSERT_EQ(listed.exitCode, 0);
    for (const char* line : {"to-folder: skipped, a link to a folder", "back: skipped, a link to a folder",
                             "broken: skipped, a link that leads nowhere", "pipe: skipped, not a regular file"})
        EXPECT_NE(listed.errors.find(line), std::string::npos) << listed.errors;
    EXPECT_EQ(listed.errors.find("-v lists them"), std::string::npos);

    const RunResult followed = Quorvel({"pack", "-q", "-L", "-o", Output().string(), links});
    ASSERT_EQ(followed.exitCode, 0);
    EXPECT_NE(followed.errors.find("links/to-folder/back: skipped, it leads back to " + links + ", a folder it lies in"),
              std::string::npos)
        << followed.errors;
    out = Unpack(Build::Native);
    EXPECT_EQ(ReadText(out / "links/to-folder/inner.txt"), "inner");
    EXPECT_FALSE(fs::exists(out / "links/to-folder/back"));
}

// An output that is one of the inputs, or lies inside an input folder, is refused before
// anything is written: found by its resolved path, or by device and inode when the path
// does not tell (a hard link, a folder reached through a followed link).
TEST_F(Pack, OutputAmongTheInputsIsRefused) {
    WriteFile(Input("one/a.txt"), ToBytes("a"));
    fs::create_directories(work_ / "elsewhere");
    fs::create_directory_symlink(Input("one"), work_ / "link-to-one");
    fs::create_hard_link(Input("one/a.txt"), work_ / "hard.txt");
    fs::create_directories(Input("two"));
    fs::create_directory_symlink(work_ / "elsewhere", Input("two/to-elsewhere"));
    const struct {
        fs::path output;
        std::vector<std::string> arguments;
        std::string message;
    } cases[] = {
        {Input("one/a.txt"), {Input("one/a.txt").string()}, "the output is one of the inputs"},
        {Input("one/a.sfx"), {Input("one").string()}, "the output lies inside the input folder"},
        {Input("one/deeper/../a.sfx"), {Input("one").string()}, "the output lies inside the input folder"},
        {work_ / "link-to-one/a.sfx", {Input("one").string()}, "the output lies inside the input folder"},
        {work_ / "hard.txt", {Input("one").string()}, "the output is one of the inputs"},
        {work_ / "elsewhere/a.sfx", {"-L", Input("two").string()}, "the output lies inside the input folder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        std::vector<std::string> arguments = {"pack", "-q", "-o", c.output.string()};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const RunResult result = Quorvel(arguments);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.errors.find(c.output.string() + ": " + c.message), std::string::npos) << result.errors;
        EXPECT_EQ(ReadText(Input("one/a.txt")), "a");
        EXPECT_FALSE(fs::exists(Input("one/a.sfx")));
        EXPECT_FALSE(fs::exists(work_ / "elsewhere/a.sfx"));
    }
    EXPECT_EQ(Quorvel({"pack", "-q", "-o", (work_ / "elsewhere/a.sfx").string(), Input("two").string()}).exitCode, 0);
}

// 表 is 0x95 0x5C in code page 932: its second byte must not split the name.
TEST_F(Pack, NamesInADoubleByteCodePage) {
    WriteFile(Input("jp/\xE8\xA1\xA8/\xE8\xA1\xA8.txt"), ToBytes("hyou"));
    ASSERT_EQ(Quorvel({"pack", "-q", "--stub", "native", "--codepage", "932", "-o", Output().string(),
                       Input("jp").string()})
                  .exitCode,
              0);
    const Bytes packed = ReadBytes(Output());
    const Bytes stored = ToBytes("\x95\x5C.txt");
    EXPECT_NE(std::search(packed.begin(), packed.end(), stored.begin(), stored.end()), packed.end());
    const fs::path out = Unpack(Build::Native, {.environment = {{"LANG", "ja_JP.UTF-8"}, {"LC_ALL", ""}}});
    EXPECT_EQ(ReadText(out / "jp/\xE8\xA1\xA8/\xE8\xA1\xA8.txt"), "hyou");
}

TEST_F(Pack, ErrorsNameTheProblemAndLeaveNoOutput) {
    WriteFile(Input("ok/a.txt"), ToBytes("a"));
    const std::string out = Output().string();
    ExpectFailure(Quorvel({"pack", "-o", out, Input("missing").string()}), "missing: no such file or folder");

    ExpectFailure(Quorvel({"pack", "-o", (work_ / "no-such-folder" / "x.sfx").string(), Input("ok").string()}),
                  "cannot be written");

    WriteFile(work_ / "short.stub", Bytes(100, 0));
    ExpectFailure(Quorvel({"pack", "--stub", (work_ / "short.stub").string(), "-o", out, Input("ok").string()}),
                  "exactly 20480 bytes");
    WriteFile(work_ / "random.stub", RandomBytes(20480, 5));
    ExpectFailure(Quorvel({"pack", "--stub", (work_ / "random.stub").string(), "-o", out, Input("ok").string()}),
                  "random.stub: no Expander: neither a Windows program (PE, i686 or x86_64) nor a Linux x86_64");

    // Files that hold more than an archive can are noted before anything is read; a name
    // no Expander takes then ends the pack under --strict.
    for (const char* name : {"huge/one.bin", "huge/two.bin"}) {
        WriteFile(Input(name), {});
        fs::resize_file(Input(name), std::uintmax_t{3} << 29);
    }
    WriteFile(Input("huge/a:b.txt"), ToBytes("c"));
    const RunResult strict = Quorvel({"pack", "--strict", "-o", out, Input("huge").string()});
    ExpectFailure(strict, "quorvel: note: the files hold 3221225472 bytes");
    EXPECT_NE(strict.errors.find("quorvel: 1 input cannot be stored; with --strict nothing is written\n"),
              std::string::npos)
        << strict.errors;

    const RunResult usage = Quorvel({"pack", Input("ok").string()});
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_NE(usage.errors.find("no output given"), std::string::npos);
    EXPECT_NE(usage.errors.find("; see quorvel pack --help"), std::string::npos);
}

// Each input that cannot be stored is left out with a warning naming it, its reason and
// the option that helps, if any, and the archive is made from the rest; the pack exits 1
// and counts them. With --strict each is an error and nothing is written.
TEST_F(Pack, InputsThatCannotBeStoredAreLeftOut) {
    const std::string longName = std::string(200, 'd') + "/" + std::string(70, 'f');
    const struct {
        std::string given;  // after good.txt, relative to -C
        std::string reason;
        std::vector<std::string> options = {};
        std::string made = "";  // the file made for it, when not `given`
        std::string shown = "";  // as the message shows `given`, when not as it is
    } cases[] = {
        {"a:b.txt", "the name holds a colon, which every Expander refuses (on Windows it names a drive or a stream); "
                    "left out"},
        {"x:y", "the name holds a colon, which every Expander refuses (on Windows it names a drive or a stream); "
                "left out with everything in it", {}, "x:y/inner.txt"},
        {"\\lead", "the name begins with a backslash, which every Expander refuses; left out"},
        {". .", "a part of the name is periods and blanks with two periods or more, which every Expander refuses "
                "(it reads as a folder above); left out"},
        {"sub", "the name holds a backslash, which an archive takes for a folder separator; left out", {},
         "sub/back\\slash", "sub/back\\slash"},
        {"bad\xFF.txt", "not valid UTF-8 (byte 0xFF); left out", {}, "", "bad\\xFF.txt"},
        {"\xD0\xBF\xD1\x80\xD0\xB8.txt", "\xD0\xBF is not in code page 1252 but in code pages 932, 936 and 949: "
                                    "--codepage 932; left out"},
        {"\xE1\x9A\xA0.txt", "\xE1\x9A\xA0 is in none of the code pages 932, 936, 949, 950, 1252; left out"},
        {"caf\xC3\xA9.txt", "\xC3\xA9 is not in code page 932 but in code pages 936 and 1252: --codepage 936; left out",
         {"--codepage", "932"}},
        {longName, "the stored name is 271 bytes, longer than the 259 an Expander can create; left out"},
        {"big.bin", "2^31 bytes or more, more than an archive entry holds; left out"},
        {"missing", "no such file or folder; left out", {}, "-"},
        {"good.txt", "stored twice as good.txt; left out", {}, "-"},
        // Found readable, refused when read: nothing of it has been written by then.
        {"mem", "cannot be read (Input/output error); left out", {}, "-"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.given);
        const fs::path root = Input("left" + std::to_string(i));
        WriteFile(root / "good.txt", ToBytes("good"));
        if (c.given == "big.bin") {
            WriteFile(root / "big.bin", {});
            fs::resize_file(root / "big.bin", std::uintmax_t{1} << 31);
        } else if (c.given == "mem") {
            fs::create_symlink("/proc/self/mem", root / "mem");
        } else if (c.made != "-") {
            WriteFile(root / (c.made.empty() ? c.given : c.made), ToBytes("bad"));
        }
        std::vector<std::string> arguments = {"pack", "-q", "--stub", "native", "-C", root.string(), "-o",
                                              Output().string(), "good.txt", c.given};
        arguments.insert(arguments.begin() + 1, c.options.begin(), c.options.end());
        const std::string shown = (root / (c.shown.empty() ? c.given : c.shown)).string();

        const RunResult packed = Quorvel(arguments);
        EXPECT_EQ(packed.exitCode, 1);
        EXPECT_NE(packed.errors.find("quorvel: warning: " + shown + ": " + c.reason), std::string::npos)
            << packed.errors;
        EXPECT_TRUE(packed.errors.ends_with("\nquorvel: 1 input left out\n")) << packed.errors;
        EXPECT_EQ(packed.errors.find('\xFF'), std::string::npos);
        RunResult run;
        const Tree unpacked = ReadTree(Unpack(Build::Native, {}, &run));
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(unpacked.files, (std::map<std::string, std::string>{{"good.txt", "good"}}));
        fs::remove(Output());

        arguments.insert(arguments.begin() + 1, "--strict");
        const RunResult strict = Quorvel(arguments);
        const std::string error = c.reason.substr(0, c.reason.rfind("; left out"));
        ExpectFailure(strict, "quorvel: " + shown + ": " + error + "\n");
    }
}

// Run as a user without root's rights, to whom a file and a folder are unreadable (root
// reads them whatever their modes): both are left out and the rest is packed; with
// --strict nothing is written.
TEST_F(Pack, UnreadableInputsAreLeftOut) {
    std::vector<std::string> asUser;
    if (geteuid() == 0) {
        const auto has = [](const char* program) {
            try {
                return RunProgram({program, "--version"}, {}).exitCode == 0;
            } catch (const std::runtime_error&) {
                return false;
            }
        };
        if (!has("setpriv")) GTEST_SKIP() << "run as root without setpriv: no user to whom a file can be unreadable";
        asUser = {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
    }
    fs::permissions(work_.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                      fs::perms::others_read | fs::perms::others_exec);
    WriteFile(Input("tree/ok.txt"), ToBytes("ok"));
    WriteFile(Input("tree/secret.txt"), ToBytes("secret"));
    WriteFile(Input("tree/closed/inner.txt"), ToBytes("inner"));
    fs::permissions(Input("tree/secret.txt"), fs::perms::none);
    fs::permissions(Input("tree/closed"), fs::perms::none);
    const fs::path drop = work_ / "drop";
    fs::create_directories(drop);
    fs::permissions(drop, fs::perms::all);
    const fs::path output = drop / "sample.sfx";
    std::vector<std::string> arguments = asUser;
    arguments.insert(arguments.end(), {kQuorvel, "pack", "-q", "--stub", "native", "-o", output.string(),
                                       Input("tree").string()});

    const RunResult packed = RunProgram(arguments, {});
    EXPECT_EQ(packed.exitCode, 1);
    for (const std::string& line : {Input("tree/secret.txt").string() + ": cannot be read (Permission denied); left out\n",
                                   Input("tree/closed").string() +
                                       ": cannot be read (Permission denied); left out with everything in it\n",
                                   std::string("quorvel: 2 inputs left out\n")})
        EXPECT_NE(packed.errors.find(line), std::string::npos) << packed.errors;
    fs::rename(output, Output());
    const fs::path out = Unpack(Build::Native);
    EXPECT_EQ(ReadTree(out).files, (std::map<std::string, std::string>{{"tree/ok.txt", "ok"}}));
    EXPECT_EQ(ReadTree(out).folders, (std::set<std::string>{"tree"}));

    arguments.insert(arguments.end() - 3, "--strict");
    const RunResult strict = RunProgram(arguments, {});
    EXPECT_EQ(strict.exitCode, 1);
    EXPECT_NE(strict.errors.find("2 inputs cannot be stored; with --strict nothing is written"), std::string::npos)
        << strict.errors;
    EXPECT_TRUE(fs::is_empty(drop));
    fs::permissions(Input("tree/closed"), fs::perms::owner_all);
}

// Past a file-size limit the pack stops at the write that fails, says why and removes
// what it wrote, as it does at the archive's own limit of 2^31 bytes.
TEST_F(Pack, FileSizeLimitStopsThePackAndLeavesNoOutput) {
    WriteFile(Input("random/a.bin"), RandomBytes(1 << 20, 8));
    const RunResult result =
        RunProgram({"sh", "-c", "ulimit -f 200 && exec \"$0\" \"$@\"", kQuorvel, "pack", "-q", "--stub", "native",
                    "-o", Output().string(), Input("random").string()},
                   {});
    ExpectFailure(result, Output().string() + ": cannot be written (File too large)");
}

// An option mistyped is a usage error in one line, also where it reads as a negative
// number that would otherwise be taken for a path.
TEST_F(Pack, MistypedOptionsAreUsageErrors) {
    WriteFile(Input("o/a.txt"), ToBytes("a"));
    const struct {
        const char* option;
        const char* message;
    } cases[] = {
        {"-0", "-0 is no option; the effort is one of -1 .. -9"},
        {"-10", "-10 is no option; the effort is one of -1 .. -9"},
        {"-x", "not expected: -x"},
        {"--bogus", "not expected: --bogus"},
        {"--threads=0", "--threads: Value 0 not in range 1 to 256"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.option);
        const RunResult result = Quorvel({"pack", c.option, "-o", Output().string(), Input("o").string()});
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(std::count(result.errors.begin(), result.errors.end(), '\n'), 1) << result.errors;
        EXPECT_EQ(result.errors.rfind("quorvel pack: ", 0), 0u) << result.errors;
        EXPECT_NE(result.errors.find(c.message), std::string::npos) << result.errors;
        EXPECT_TRUE(result.errors.ends_with("; see quorvel pack --help\n")) << result.errors;
        ExpectNoOutput();
    }
}

// The password comes from --password-file, or, for --password, from QUORVEL_PASSWORD when
// it is not empty (which is said), else from the terminal. The variable alone scrambles
// nothing.
TEST_F(Pack, PasswordFromTheEnvironment) {
    WriteFile(Input("env/a.txt"), ToBytes("a"));
    std::ofstream(work_ / "password.txt") << "from file\n";
    const struct {
        std::string variable;
        std::vector<std::string> options;
        std::string password;  // "" for an archive not scrambled
    } cases[] = {
        {"sesame", {}, ""},
        {"sesame", {"--password"}, "sesame"},
        {"sesame", {"--password-file", (work_ / "password.txt").string()}, "from file"},
        {"", {}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.variable + " " + (c.options.empty() ? "" : c.options[0]));
        std::vector<std::string> arguments = {"pack", "--stub", "native", "-o", Output().string(),
                                              Input("env").string()};
        arguments.insert(arguments.begin() + 1, c.options.begin(), c.options.end());
        const RunResult packed = Quorvel(arguments, {.environment = {{"QUORVEL_PASSWORD", c.variable}}});
        ASSERT_EQ(packed.exitCode, 0) << packed.errors;
        const bool fromVariable = c.password == c.variable && !c.password.empty() && !c.options.empty() &&
                                  c.options[0] == "--password";
        EXPECT_EQ(packed.errors, fromVariable ? "quorvel: note: scrambled with the password in QUORVEL_PASSWORD\n" : "");
        RunResult run;
        fs::path out = Unpack(Build::Native, {.input = "wrong\r\n"}, &run);
        EXPECT_EQ(run.exitCode, c.password.empty() ? 0 : 1);
        out = Unpack(Build::Native, {.input = c.password + "\r\n"}, &run);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(ReadText(out / "env/a.txt"), "a");
    }
}

// Each name Windows cannot create as stored: refused for the Windows Expander (chosen by an
// output name ending in .exe, or a stub file that is a Windows program), only warned about
// with --allow-unportable-names, and not looked at for the native Expander (chosen by any
// other name). Names longer than 200 bytes are only warned about.
TEST_F(Pack, NamesWindowsCannotCreate) {
    struct Case {
        std::vector<std::string> files;
        std::string message;
        bool warningOnly = false;
    };
    const Case cases[] = {
        {{"nf/xt_CONNMARK.h", "nf/xt_connmark.h"}, "xt_CONNMARK.h and "},
        {{"Docs", "docs/x"}, "for the same file or folder"},
        {{"aux.txt"}, "aux.txt: Windows reserves this name for a device"},
        {{"q?.txt"}, "q?.txt: holds the character '?'"},
        {{"bell\x07"}, "holds the control byte 0x07"},
        {{"dot."}, "dot.: ends in a period"},
        {{"blank "}, "blank : ends in a blank"},
        {{std::string(210, 'n')}, "longer than 200 bytes", true},
    };
    const std::string out = Output().string();
    const std::string exe = (work_ / "sample.exe").string();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].message);
        const std::string root = Input("names" + std::to_string(i)).string();
        for (const std::string& file : cases[i].files) WriteFile(root + "/" + file, ToBytes("x"));
        const RunResult windows = Quorvel({"pack", "-q", "-o", exe, root});
        if (cases[i].warningOnly) {
            EXPECT_EQ(windows.exitCode, 0);
            EXPECT_NE(windows.errors.find(cases[i].message), std::string::npos) << windows.errors;
        } else {
            ExpectFailure(windows, cases[i].message);
            EXPECT_NE(windows.errors.find("--allow-unportable-names"), std::string::npos);
        }
        const RunResult allowed = Quorvel({"pack", "-q", "--allow-unportable-names", "-o", exe, root});
        EXPECT_EQ(allowed.exitCode, 0);
        EXPECT_NE(allowed.errors.find("warning: "), std::string::npos) << allowed.errors;
        EXPECT_NE(allowed.errors.find(cases[i].message), std::string::npos) << allowed.errors;
        const RunResult native = Quorvel({"pack", "-q", "-o", out, root});
        EXPECT_EQ(native.exitCode, 0);
        EXPECT_EQ(native.errors, "");
        fs::remove(exe);
        fs::remove(out);
    }
    ExpectFailure(Quorvel({"pack", "--stub", std::string(QUORVEL_STUB_DIR) + "/expander.exe", "-o", out,
                           Input("names0").string()}),
                  "xt_CONNMARK.h and ");
}

TEST_F(Pack, InterruptLeavesNoOutput) {
    WriteFile(Input("big/words.txt"), WordBytes(4 << 20, 4));
    const auto writing = [&] {
        for (const auto& entry : fs::directory_iterator(work_.path()))
            if (entry.path().filename().string().starts_with("sample.sfx.partial-")) return true;
        return false;
    };
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const RunResult result = Quorvel({"pack", "-9", "--stub", "native", "-o", Output().string(), Input("big").string()},
                                         {.interruptWhen = writing, .interruptSignal = signal});
        EXPECT_EQ(result.signal, signal);
        ExpectNoOutput();
    }
}

TEST_F(Pack, HelpAndVersion) {
    RunResult result = Quorvel({"--help"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.output.find("pack"), std::string::npos);
    result = Quorvel({"pack", "--help"});
    EXPECT_EQ(result.exitCode, 0);
    for (const char* told : {"--codepage", "--strict", "2^31 bytes", "holds a colon", "QUORVEL_PASSWORD"})
        EXPECT_NE(result.output.find(told), std::string::npos) << told;
    result = Quorvel({"--version"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, "quorvel 1.60\n");
}

}  // namespace
}  // namespace quorvel::test
