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

TEST_F(Pack, SameInputsGiveTheSameBytes) {
    MakeSampleTree(Input("same"), 20);
    std::ofstream(work_ / "password.txt") << "pw";
    std::vector<Bytes> packs;
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(Quorvel({"pack", "-q", "--password-file", (work_ / "password.txt").string(), "-o", Output().string(),
                           Input("same").string()})
                      .exitCode,
                  0);
        packs.push_back(ReadBytes(Output()));
    }
    EXPECT_EQ(packs[0], packs[1]);
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
              "-v lists them\n");
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

    WriteFile(Input("unreadable/a.txt"), ToBytes("a"));
    fs::create_symlink("/proc/self/mem", Input("unreadable/mem"));
    ExpectFailure(Quorvel({"pack", "-o", out, Input("unreadable").string()}), "mem: cannot be read");

    WriteFile(Input("huge/a.txt"), ToBytes("a"));
    { std::ofstream(Input("huge/big.bin")); }
    fs::resize_file(Input("huge/big.bin"), std::uintmax_t{1} << 31);
    ExpectFailure(Quorvel({"pack", "-o", out, Input("huge").string()}), "big.bin: 2^31 bytes or more");

    const std::string longFolder(200, 'd');
    WriteFile(Input("long/" + longFolder + "/" + std::string(70, 'f')), ToBytes("f"));
    ExpectFailure(Quorvel({"pack", "-o", out, Input("long").string()}), "longer than 259 bytes");

    WriteFile(Input("accent/caf\xC3\xA9.txt"), ToBytes("c"));
    ExpectFailure(Quorvel({"pack", "--codepage", "932", "-o", out, Input("accent").string()}),
                  "\xC3\xA9 is not in code page 932 but in code pages 936 and 1252: --codepage 936");

    ExpectFailure(Quorvel({"pack", "-o", (work_ / "no-such-folder" / "x.sfx").string(), Input("ok").string()}),
                  "cannot be written");

    WriteFile(work_ / "short.stub", Bytes(100, 0));
    ExpectFailure(Quorvel({"pack", "--stub", (work_ / "short.stub").string(), "-o", out, Input("ok").string()}),
                  "exactly 20480 bytes");

    const RunResult usage = Quorvel({"pack", Input("ok").string()});
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_NE(usage.errors.find("no output given"), std::string::npos);
    EXPECT_NE(usage.errors.find("; see quorvel pack --help"), std::string::npos);
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
    EXPECT_NE(result.output.find("--codepage"), std::string::npos);
    result = Quorvel({"--version"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, "quorvel 1.60\n");
}

}  // namespace
}  // namespace quorvel::test
