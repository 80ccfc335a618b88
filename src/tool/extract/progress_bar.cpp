#include "tool/extract/progress_bar.hpp"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace quorvel::tool {
namespace {

constexpr int kBarWidth = 24;

std::string Duration(double seconds) {
    const auto total = static_cast<long long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
    return text;
}

}  // namespace

bool ProgressWanted(bool quiet) { return !quiet && isatty(STDERR_FILENO) == 1; }

ProgressBar::ProgressBar(bool shown, std::uint64_t totalBytes)
    : shown_(shown),
      colour_(std::getenv("NO_COLOR") == nullptr || *std::getenv("NO_COLOR") == 0),
      total_(totalBytes == 0 ? 1 : totalBytes),
      start_(std::chrono::steady_clock::now()) {}

void ProgressBar::BytesRead(std::uint64_t bytes) {
    read_ = bytes;
    Draw();
}

void ProgressBar::FileDone() {
    ++files_;
    Draw();
}

void ProgressBar::Clear() {
    if (!shown_ || !drawn_) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    drawn_ = false;
}

void ProgressBar::Draw() {
    if (!shown_) return;
    const auto at = std::chrono::steady_clock::now();
    if (drawn_ && at - drawnAt_ < std::chrono::milliseconds(100)) return;
    drawnAt_ = at;
    drawn_ = true;
    const double fraction = static_cast<double>(std::min(read_, total_)) / static_cast<double>(total_);
    const int filled = static_cast<int>(fraction * kBarWidth);
    const double seconds = std::chrono::duration<double>(at - start_).count();
    const double rate = seconds > 0 ? static_cast<double>(read_) / seconds : 0;
    const std::string left = rate > 0 ? Duration(static_cast<double>(total_ - std::min(read_, total_)) / rate) : "-";
    std::fprintf(stderr, "\r%s%s%s%s %3d%%  %.1f/%.1f MB  %llu files  %.1f MB/s  %s left\033[K",
                 colour_ ? "\033[32m" : "", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 colour_ ? "\033[0m" : "", std::string(static_cast<std::size_t>(kBarWidth - filled), '-').c_str(),
                 static_cast<int>(fraction * 100), static_cast<double>(read_) / 1e6, static_cast<double>(total_) / 1e6,
                 static_cast<unsigned long long>(files_), rate / 1e6, left.c_str());
    std::fflush(stderr);
}

}  // namespace quorvel::tool
