#include "tool/extract/progress_bar.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace quorvel::tool {
namespace {

constexpr std::size_t kBarWidth = 24;
constexpr std::size_t kNarrowestBar = 10;
constexpr char kSeparator[] = "  ";

std::string Duration(double seconds) {
    const auto total = static_cast<long long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
    return text;
}

std::string Megabytes(double bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", bytes / 1e6);
    return text;
}

}  // namespace

ProgressBar::ProgressBar(Reporter& reporter, std::uint64_t totalBytes)
    : reporter_(reporter),
      colour_(std::getenv("NO_COLOR") == nullptr || *std::getenv("NO_COLOR") == 0),
      total_(totalBytes == 0 ? 1 : totalBytes),
      start_(std::chrono::steady_clock::now()) {}

void ProgressBar::BytesRead(std::uint64_t bytes) {
    read_ = bytes;
    Refresh();
}

void ProgressBar::Refresh() {
    reporter_.ProgressToFit([this](std::size_t columns) { return Text(columns); });
}

void ProgressBar::FileRead() { ++files_; }

std::vector<std::string> ProgressBar::Figures() const {
    const std::uint64_t read = std::min(read_, total_);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const double rate = seconds > 0 ? static_cast<double>(read_) / seconds : 0;
    char percent[8];
    std::snprintf(percent, sizeof percent, "%3d%%", static_cast<int>(read * 100 / total_));
    return {percent,
            Megabytes(static_cast<double>(read)) + "/" + Megabytes(static_cast<double>(total_)) + " MB",
            Count(files_, "file", "files"),
            Megabytes(rate) + " MB/s",
            (rate > 0 ? Duration(static_cast<double>(total_ - read) / rate) : "-") + " left"};
}

// The bar and as many figures as fit beside it, dropped from the last; at the narrowest,
// the percentage alone.
std::string ProgressBar::Text(std::size_t columns) const {
    const std::vector<std::string> figures = Figures();
    std::string shown;
    for (std::size_t count = figures.size(); count > 0; --count) {
        shown.clear();
        for (std::size_t i = 0; i < count; ++i) shown += (i == 0 ? "" : kSeparator) + figures[i];
        if (shown.size() + 1 + kNarrowestBar > columns) continue;
        const std::size_t width = std::min(kBarWidth, columns - shown.size() - 1);
        const auto filled = static_cast<std::size_t>(static_cast<double>(std::min(read_, total_)) /
                                                     static_cast<double>(total_) * static_cast<double>(width));
        return (colour_ ? "\033[32m" : "") + std::string(filled, '#') + (colour_ ? "\033[0m" : "") +
               std::string(width - filled, '-') + " " + shown;
    }
    return shown;
}

}  // namespace quorvel::tool
