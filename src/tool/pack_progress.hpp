// The progress line of quorvel pack on a terminal: files written of all, bytes in and out.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace quorvel::tool {

class PackProgress {
public:
    explicit PackProgress(bool shown) : shown_(shown) {}
    // Redraws the line at most ten times a second; the last call ends it.
    void Update(std::size_t files, std::size_t total, std::uint64_t bytesIn, std::uint64_t bytesOut, bool last);

private:
    bool shown_;
    std::chrono::steady_clock::time_point shownAt_{};
};

}  // namespace quorvel::tool
