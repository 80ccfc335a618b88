// Everything the tool tells its user on standard error: errors, warnings and notes, one line
// each behind the one prefix ("quorvel: ", "quorvel: warning: ", "quorvel: note: "), with
// control characters escaped; errors and warnings counted for the summary at the end; and
// one progress line, drawn only on a terminal, fitted to its width (asked again after a
// resize), redrawn at most ten times a second by whichever thread reports, and cleared
// before any message or question, so that no stray line is ever left.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>

namespace quorvel::tool {

class Reporter {
public:
    // The progress line is drawn only when `progress` is true (see ProgressWanted), and not
    // before the command has run for `firstDrawAfter`, so that one that ends sooner draws none.
    explicit Reporter(bool progress = false, std::chrono::milliseconds firstDrawAfter = {});
    // Clears a progress line still standing, as when a command ends by an exception.
    ~Reporter();
    Reporter(const Reporter&) = delete;
    Reporter& operator=(const Reporter&) = delete;

    // Whether a progress line belongs on standard error: it is a terminal and -q was not
    // given.
    static bool ProgressWanted(bool quiet);

    void Error(const std::string& text);
    void Warning(const std::string& text);
    void Note(const std::string& text);
    // A mistake on the command line: "quorvel COMMAND: text; see quorvel COMMAND --help".
    void UsageError(const std::string& command, const std::string& text);
    // A question on the terminal, as it is given (names in it escaped by the caller), without
    // a line end; the answer is read by the caller.
    void Ask(const std::string& question);

    bool ProgressShown() const { return progress_; }
    std::size_t Errors() const { return errors_; }
    std::size_t Warnings() const { return warnings_; }
    // "quorvel: 2 errors, 3 warnings" when there were any; nothing otherwise.
    void Summarize();

    // Draws the progress line made by `text`, unless it was drawn less than a tenth of a
    // second ago or another thread is drawing it; the text is made only when drawn.
    void Progress(const std::function<std::string()>& text);
    // The same, the text made for the columns it may take.
    void ProgressToFit(const std::function<std::string(std::size_t columns)>& text);
    // The last state of the progress line, which stays, ended by a line end; an empty text
    // clears the line instead.
    void FinishProgress(const std::string& text);

private:
    void Say(const std::string& prefix, const std::string& text);
    void ClearLine();
    void DrawLine(const std::string& text);

    const bool progress_;
    const std::chrono::steady_clock::time_point firstDrawAt_;
    std::mutex mutex_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point drawnAt_{};
    std::atomic<std::size_t> errors_{0};
    std::atomic<std::size_t> warnings_{0};
};

// The text cut to fit `columns` terminal columns: escape sequences take none, and a UTF-8
// character takes one.
std::string FitToColumns(const std::string& text, std::size_t columns);

// "1 file", "3 files".
std::string Count(std::size_t n, const char* one, const char* many);

}  // namespace quorvel::tool
