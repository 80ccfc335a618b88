#include "tool/common/reporter.hpp"

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

#include "tool/common/name_text.hpp"

namespace quorvel::tool {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr std::size_t kDefaultColumns = 80;

// Set by SIGWINCH: the terminal's width is asked again before the next drawing.
volatile sig_atomic_t Resized = 1;
std::size_t Columns = kDefaultColumns;

void OnResize(int) { Resized = 1; }

void WatchResizes() {
    static const bool installed = [] {
        struct sigaction action {};
        action.sa_handler = OnResize;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        return sigaction(SIGWINCH, &action, nullptr) == 0;
    }();
    (void)installed;
}

std::size_t TerminalColumns() {
    if (Resized != 0) {
        Resized = 0;
        winsize size{};
        Columns = ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : kDefaultColumns;
    }
    return Columns;
}

// One column short of the width, so that the cursor never wraps to a line of its own.
std::size_t LineColumns() {
    const std::size_t columns = TerminalColumns();
    return columns > 1 ? columns - 1 : 1;
}

void Write(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

}  // namespace

std::string FitToColumns(const std::string& text, std::size_t columns) {
    std::string fitted;
    std::size_t used = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == '\033') {  // an escape sequence, up to its final letter
            std::size_t end = i + 1;
            while (end < text.size() && !(text[end] >= '@' && text[end] <= '~' && end > i + 1)) ++end;
            fitted.append(text, i, end + 1 - i);
            i = end + 1;
            continue;
        }
        std::size_t end = i + 1;
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
        if (used == columns) break;
        fitted.append(text, i, end - i);
        ++used;
        i = end;
    }
    return fitted;
}

std::string Count(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

Reporter::Reporter(bool progress, std::chrono::milliseconds firstDrawAfter)
    : progress_(progress), firstDrawAt_(std::chrono::steady_clock::now() + firstDrawAfter) {
    if (progress_) WatchResizes();
}

Reporter::~Reporter() {
    const std::lock_guard lock(mutex_);
    ClearLine();
}

bool Reporter::ProgressWanted(bool quiet) { return !quiet && isatty(STDERR_FILENO) == 1; }

void Reporter::Error(const std::string& text) {
    ++errors_;
    Say("quorvel: ", text);
}

void Reporter::Warning(const std::string& text) {
    ++warnings_;
    Say("quorvel: warning: ", text);
}

void Reporter::Note(const std::string& text) { Say("quorvel: note: ", text); }

void Reporter::UsageError(const std::string& command, const std::string& text) {
    ++errors_;
    const std::string program = command.empty() ? "quorvel" : "quorvel " + command;
    Say(program + ": ", text + "; see " + program + " --help");
}

void Reporter::Ask(const std::string& question) {
    const std::lock_guard lock(mutex_);
    ClearLine();
    Write(question);
}

void Reporter::Summarize() {
    std::string counts;
    if (errors_ > 0) counts = Count(errors_, "error", "errors");
    if (warnings_ > 0) counts += (counts.empty() ? "" : ", ") + Count(warnings_, "warning", "warnings");
    if (!counts.empty()) Say("quorvel: ", counts);
}

void Reporter::Progress(const std::function<std::string()>& text) {
    ProgressToFit([&text](std::size_t) { return text(); });
}

void Reporter::ProgressToFit(const std::function<std::string(std::size_t columns)>& text) {
    if (!progress_) return;
    const std::unique_lock lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock()) return;
    const auto now = std::chrono::steady_clock::now();
    if (now < firstDrawAt_ || (drawn_ && now - drawnAt_ < kRedrawInterval)) return;
    drawnAt_ = now;
    DrawLine(text(LineColumns()));
}

void Reporter::FinishProgress(const std::string& text) {
    if (!progress_) return;
    const std::lock_guard lock(mutex_);
    if (text.empty()) return ClearLine();
    DrawLine(text);
    Write("\n");
    drawn_ = false;
}

void Reporter::Say(const std::string& prefix, const std::string& text) {
    const std::lock_guard lock(mutex_);
    ClearLine();
    std::string line = prefix;
    line += Printable(text);
    line += '\n';
    Write(line);
}

void Reporter::ClearLine() {
    if (!drawn_) return;
    Write("\r\033[K");
    drawn_ = false;
}

void Reporter::DrawLine(const std::string& text) {
    std::string line = "\r";
    line += FitToColumns(text, LineColumns());
    line += "\033[0m\033[K";
    Write(line);
    drawn_ = true;
}

}  // namespace quorvel::tool
