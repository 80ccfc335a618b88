#include "tool/pack_progress.hpp"

#include <cstdio>

namespace quorvel::tool {

void PackProgress::Update(std::size_t files, std::size_t total, std::uint64_t bytesIn, std::uint64_t bytesOut,
                          bool last) {
    if (!shown_) return;
    const auto now = std::chrono::steady_clock::now();
    if (!last && now - shownAt_ < std::chrono::milliseconds(100)) return;
    shownAt_ = now;
    const double ratio = bytesIn == 0 ? 0.0 : 100.0 * static_cast<double>(bytesOut) / static_cast<double>(bytesIn);
    std::fprintf(stderr, "\r%zu/%zu files, %.1f MB in, %.1f MB out (%.1f%%)%s", files, total,
                 static_cast<double>(bytesIn) / 1e6, static_cast<double>(bytesOut) / 1e6, ratio, last ? "\n" : "");
    std::fflush(stderr);
}

}  // namespace quorvel::tool
