// quorvel on a terminal: pack's choice of Expander, its password asked twice without echo
// and its progress line; test's password with three tries; extract's question about
// existing files, answered in either case, and its progress bar, coloured unless NO_COLOR
// is set, fitted to the terminal's width also after a resize, and not drawn for an
// extraction that ends at once.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>

#include <chrono>
#include <fstream>
#include <map>
#include <regex>
#include <thread>

#include "support/tool_fixture.hpp"

namespace quorvel::test {
namespace {

namespace fs = std::filesystem;

struct TerminalRun {
    int exitCode = -1;
    std::string screen;  // everything the program wrote to its terminal
};

// Called with the screen so far after each read, with the terminal's master side and the
// program: to resize the terminal or interrupt the program.
using TerminalWatch = std::function<void(const std::string& screen, int master, pid_t child)>;

// Runs quorvel with a new terminal of `columns` as its controlling terminal and standard
// streams, answering each prompt that ends in ": " with the next line of answers.
TerminalRun RunOnTerminal(const std::vector<std::string>& arguments, std::vector<std::string> answers,
                          const std::map<std::string, std::string>& environment = {}, unsigned short columns = 80,
                          const TerminalWatch& watch = {}) {
    int master = -1;
    winsize size{24, columns, 0, 0};
    const pid_t child = forkpty(&master, nullptr, nullptr, &size);
    if (child == 0) {
        for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> argv;
        std::string program = std::string(QUORVEL_BIN_DIR) + "/quorvel";
        argv.push_back(program.data());
        for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    TerminalRun run;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    std::size_t answered = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd fd{master, POLLIN, 0};
        if (poll(&fd, 1, 50) > 0) {
            char buffer[1024];
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n <= 0) break;  // the terminal closes when the program ends
            run.screen.append(buffer, static_cast<std::size_t>(n));
            if (watch) watch(run.screen, master, child);
        }
        if (answered < answers.size() && run.screen.ends_with(": ")) {
            const std::string line = answers[answered++] + "\n";
            EXPECT_EQ(write(master, line.data(), line.size()), static_cast<ssize_t>(line.size()));
        }
    }
    close(master);
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    return run;
}

TEST(PackOnTerminal, AsksThePasswordTwiceWithoutEchoAndShowsProgress) {
    TempFolder work;
    fs::create_directories(work / "in");
    WriteBytes(work / "in/a.txt", WordBytes(5000, 1));
    const std::string output = (work / "p.sfx").string();
    const TerminalRun run =
        RunOnTerminal({"pack", "--password", "-o", output, (work / "in").string()}, {"Tiger Lily", "Tiger Lily"});
    ASSERT_EQ(run.exitCode, 0) << run.screen;
    EXPECT_NE(run.screen.find("p.sfx gets the native Linux Expander"), std::string::npos) << run.screen;
    EXPECT_NE(run.screen.find("Password: "), std::string::npos);
    EXPECT_NE(run.screen.find("Password again: "), std::string::npos);
    EXPECT_EQ(run.screen.find("Tiger Lily"), std::string::npos) << run.screen;  // not echoed
    EXPECT_NE(run.screen.find("1/1 files, 1/1 folders"), std::string::npos) << run.screen;
    fs::create_directories(work / "out");
    const RunResult opened = RunSelfExtractor(Build::Native, output,
                                              {.input = "Tiger Lily\r\n", .workingFolder = (work / "out").string()});
    EXPECT_EQ(opened.exitCode, 0);
    EXPECT_EQ(ReadText(work / "out/in/a.txt"), AsText(WordBytes(5000, 1)));
}

// The first report of the compressing thread draws the line: the bytes done so far inside
// the one large file.
TEST(PackOnTerminal, ProgressMovesInsideALargeFile) {
    TempFolder work;
    WriteBytes(work / "big.txt", WordBytes(4 << 20, 2));
    const TerminalRun run = RunOnTerminal({"pack", "-1", "-o", (work / "p.sfx").string(), (work / "big.txt").string()}, {});
    ASSERT_EQ(run.exitCode, 0) << run.screen;
    const std::regex compressed(R"((\d+\.\d) of (\d+\.\d) MB compressed)");
    bool inside = false;
    for (std::sregex_iterator it(run.screen.begin(), run.screen.end(), compressed), end; it != end; ++it)
        inside |= std::stod((*it)[1]) > 0 && std::stod((*it)[1]) < std::stod((*it)[2]);
    EXPECT_TRUE(inside) << run.screen;
    EXPECT_NE(run.screen.find("1/1 files, 4.2 MB in"), std::string::npos) << run.screen;
}

TEST(PackOnTerminal, DifferentPasswordsLeaveNoOutput) {
    TempFolder work;
    fs::create_directories(work / "in");
    WriteBytes(work / "in/a.txt", ToBytes("a"));
    const std::string output = (work / "p.sfx").string();
    const TerminalRun run = RunOnTerminal({"pack", "--password", "-o", output, (work / "in").string()}, {"one", "two"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.screen.find("the two passwords differ"), std::string::npos) << run.screen;
    EXPECT_FALSE(fs::exists(output));
}

TEST(ReadOnTerminal, TestAsksThePasswordThreeTimes) {
    TempFolder work;
    fs::create_directories(work / "in");
    WriteBytes(work / "in/a.txt", WordBytes(5000, 1));
    std::ofstream(work / "pw") << "Tiger Lily";
    const std::string archive = (work / "p.sfx").string();
    ASSERT_EQ(RunOnTerminal({"pack", "--stub", "native", "--password-file", (work / "pw").string(), "-o", archive,
                             (work / "in").string()},
                            {})
                  .exitCode,
              0);
    TerminalRun run = RunOnTerminal({"test", archive}, {"tiger", "lily", "Tiger Lily"}, {{"QUORVEL_PASSWORD", ""}});
    EXPECT_EQ(run.exitCode, 0) << run.screen;
    EXPECT_NE(run.screen.find("wrong password, try again"), std::string::npos);
    EXPECT_NE(run.screen.find("intact"), std::string::npos);
    EXPECT_EQ(run.screen.find("Tiger Lily"), std::string::npos) << run.screen;  // not echoed
    run = RunOnTerminal({"test", archive}, {"a", "b", "c"}, {{"QUORVEL_PASSWORD", ""}});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.screen.find("the password is wrong (3 tries)"), std::string::npos) << run.screen;
}

TEST(ReadOnTerminal, ExtractAsksAboutExistingFilesAndShowsProgress) {
    TempFolder work;
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"}) WriteFile(work / "in" / name, ToBytes(name));
    const std::string archive = (work / "p.sfx").string();
    ASSERT_EQ(RunOnTerminal({"pack", "--stub", "native", "-o", archive, (work / "in/a.txt").string(),
                             (work / "in/b.txt").string(), (work / "in/c.txt").string(), (work / "in/d.txt").string()},
                            {})
                  .exitCode,
              0);
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) WriteFile(work / "out" / name, ToBytes("old"));
    TerminalRun run = RunOnTerminal({"extract", "-d", (work / "out").string(), archive}, {"what?", "R", " No", "ALL"});
    EXPECT_EQ(run.exitCode, 0) << run.screen;
    EXPECT_EQ(ReadText(work / "out/a.txt"), "old");
    EXPECT_EQ(ReadText(work / "out/a (1).txt"), "a.txt");
    EXPECT_EQ(ReadText(work / "out/b.txt"), "old");
    EXPECT_EQ(ReadText(work / "out/c.txt"), "c.txt");
    EXPECT_EQ(ReadText(work / "out/d.txt"), "d.txt");
    EXPECT_NE(run.screen.find("1 existing file kept"), std::string::npos) << run.screen;
    EXPECT_EQ(run.screen.find(" MB"), std::string::npos) << "a progress line for an extraction of no time";
    run = RunOnTerminal({"extract", "-q", "-y", "-d", (work / "out").string(), archive}, {});
    EXPECT_EQ(run.screen, "");
}

// The text a drawing of the progress line shows: escape sequences take no column.
std::size_t Columns(const std::string& drawing) {
    return std::regex_replace(drawing, std::regex("\033\\[[0-9;]*[A-Za-z]"), "").size();
}

// q1.txt and a run of zeros, then q2.txt and another run. With both .txt files in the way,
// each question holds the extraction still while the test looks at the terminal, so that
// which drawings come before a resize and which after does not depend on speed.
EntryWriter QuestionsBetweenRuns() {
    constexpr std::uint32_t kMatches = 2000;
    std::vector<Item> items{LiteralItem(0)};
    items.insert(items.end(), kMatches, MatchItem(4352, 1));
    EntryWriter entries;
    for (const std::string name : {"q1", "q2"}) {
        entries.AddFile(name + ".txt", kTimes, ToBytes("new"));
        entries.AddRawFile({name + ".bin", kTimes, 1 + kMatches * 4352, {}, EncodeItems(items)});
    }
    return entries;
}

// Extracted on a terminal of 40 columns, narrowed to 30 while the second question waits:
// every drawing fits the width of its time, none leaves a line behind, and the summary alone
// is left at the end; under NO_COLOR the bar has no colour.
TEST(ReadOnTerminal, ExtractProgressFitsTheTerminalAcrossAResize) {
    TempFolder work;
    Bytes file = StubBytes(Build::Native);
    const Bytes archive = Archive(QuestionsBetweenRuns());
    file.insert(file.end(), archive.begin(), archive.end());
    WriteBytes(work / "big.sfx", file);
    const std::vector<std::string> extract = {"extract", "-d", (work / "out").string(), (work / "big.sfx").string()};
    const auto putInTheWay = [&] {
        for (const char* name : {"q1.txt", "q2.txt"}) WriteFile(work / "out" / name, ToBytes("old"));
    };
    putInTheWay();
    // Where the screen stood when each question was answered.
    std::vector<std::size_t> answeredAt;
    const TerminalRun run = RunOnTerminal(extract, {}, {}, 40, [&](const std::string& screen, int master, pid_t child) {
        if (!screen.ends_with("[r]ename: ") || screen.size() == (answeredAt.empty() ? 0 : answeredAt.back())) return;
        if (answeredAt.size() == 1) {
            const winsize narrow{24, 30, 0, 0};
            ioctl(master, TIOCSWINSZ, &narrow);
            kill(child, SIGWINCH);
        }
        // Long enough for the first drawing to be due, and the next one after a drawing.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        answeredAt.push_back(screen.size());
        EXPECT_EQ(write(master, "y\n", 2), 2);
    });
    ASSERT_EQ(run.exitCode, 0) << run.screen;
    ASSERT_EQ(answeredAt.size(), 2u) << run.screen;
    std::size_t drawnBefore = 0, drawnAfter = 0;
    for (std::size_t start = 0, end; start < run.screen.size(); start = end + 1) {
        end = std::min(run.screen.find('\r', start), run.screen.size());
        const std::string drawing = run.screen.substr(start, end - start);
        if (drawing.find(" MB") == std::string::npos) continue;
        SCOPED_TRACE(drawing);
        if (start < answeredAt[1]) {
            ++drawnBefore;
            EXPECT_LE(Columns(drawing), 39u);
        } else {
            ++drawnAfter;
            EXPECT_LE(Columns(drawing), 29u);
        }
    }
    EXPECT_GE(drawnBefore, 1u) << run.screen;
    EXPECT_GE(drawnAfter, 1u) << run.screen;
    EXPECT_NE(run.screen.find("\033[32m"), std::string::npos);
    // The two answers echoed, and the summary.
    EXPECT_EQ(std::count(run.screen.begin(), run.screen.end(), '\n'), 3) << run.screen;
    EXPECT_TRUE(run.screen.ends_with("\r\033[KExtracted 4 files and 0 folders into " + (work / "out").string() + "\r\n"))
        << run.screen;

    putInTheWay();
    bool interrupted = false;
    bool answered = false;
    const auto answerThenInterrupt = [&](const std::string& screen, int master, pid_t child) {
        if (!answered && screen.ends_with("[r]ename: ")) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            answered = write(master, "y\n", 2) == 2;
        }
        if (!interrupted && screen.find(" MB") != std::string::npos) interrupted = kill(child, SIGINT) == 0;
    };
    const TerminalRun plain = RunOnTerminal(extract, {}, {{"NO_COLOR", "1"}}, 80, answerThenInterrupt);
    EXPECT_TRUE(interrupted) << plain.screen;
    EXPECT_EQ(plain.screen.find("\033[32m"), std::string::npos) << plain.screen;
}

}  // namespace
}  // namespace quorvel::test
