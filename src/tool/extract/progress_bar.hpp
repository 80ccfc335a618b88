// extract's progress line: archive bytes read of the total, files written, rate and time
// left, coloured unless NO_COLOR is set; drawn by the reporter.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "tool/common/reporter.hpp"

namespace quorvel::tool {

class ProgressBar {
public:
    ProgressBar(Reporter& reporter, std::uint64_t totalBytes);

    void BytesRead(std::uint64_t bytes);
    void FileDone();

private:
    std::string Text() const;

    Reporter& reporter_;
    bool colour_;
    std::uint64_t total_;
    std::uint64_t read_ = 0;
    std::uint64_t files_ = 0;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace quorvel::tool
