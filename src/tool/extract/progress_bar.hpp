// extract's progress bar on standard error: archive bytes read of the total, files written,
// rate and time left; redrawn at most ten times a second, coloured unless NO_COLOR is set.
#pragma once

#include <chrono>
#include <cstdint>

namespace quorvel::tool {

class ProgressBar {
public:
    // Draws nothing unless `shown`.
    ProgressBar(bool shown, std::uint64_t totalBytes);

    void BytesRead(std::uint64_t bytes);
    void FileDone();
    // Erases the line, before a message or a question; the next update draws it again.
    void Clear();

private:
    void Draw();

    bool shown_;
    bool colour_;
    bool drawn_ = false;
    std::uint64_t total_;
    std::uint64_t read_ = 0;
    std::uint64_t files_ = 0;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point drawnAt_{};
};

// Whether a progress display belongs on standard error: it is a terminal and -q was not given.
bool ProgressWanted(bool quiet);

}  // namespace quorvel::tool
