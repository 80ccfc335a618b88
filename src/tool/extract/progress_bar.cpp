#include "tool/extract/progress_bar.hpp"

#include <cstdio>
#include <cstdlib>

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

ProgressBar::ProgressBar(Reporter& reporter, std::uint64_t totalBytes)
    : reporter_(reporter),
      colour_(std::getenv("NO_COLOR") == nullptr || *std::getenv("NO_COLOR") == 0),
      total_(totalBytes == 0 ? 1 : totalBytes),
      start_(std::chrono::steady_clock::now()) {}

void ProgressBar::BytesRead(std::uint64_t bytes) {
    read_ = bytes;
    reporter_.Progress([this] { return Text(); });
}

void ProgressBar::FileDone() {
    ++files_;
    reporter_.Progress([this] { return Text(); });
}

std::string ProgressBar::Text() const {
    const double fraction = static_cast<double>(std::min(read_, total_)) / static_cast<double>(total_);
    const int filled = static_cast<int>(fraction * kBarWidth);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const double rate = seconds > 0 ? static_cast<double>(read_) / seconds : 0;
    const std::string left = rate > 0 ? Duration(static_cast<double>(total_ - std::min(read_, total_)) / rate) : "-";
    char text[256];
    std::snprintf(text, sizeof text, "%s%s%s%s %3d%%  %.1f/%.1f MB  %llu files  %.1f MB/s  %s left",
                  colour_ ? "\033[32m" : "", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                  colour_ ? "\033[0m" : "", std::string(static_cast<std::size_t>(kBarWidth - filled), '-').c_str(),
                  static_cast<int>(fraction * 100), static_cast<double>(read_) / 1e6, static_cast<double>(total_) / 1e6,
                  static_cast<unsigned long long>(files_), rate / 1e6, left.c_str());
    return text;
}

}  // namespace quorvel::tool
