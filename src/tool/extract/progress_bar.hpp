// extract's progress line: archive bytes read of the total, files handed to the writer, rate
// and time left, coloured unless NO_COLOR is set; drawn by the reporter to fit the terminal,
// the least needed parts left out first when it is narrow.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "tool/common/reporter.hpp"

namespace quorvel::tool {

class ProgressBar {
public:
    ProgressBar(Reporter& reporter, std::uint64_t totalBytes);

    void BytesRead(std::uint64_t bytes);
    // Draws the line again if it is time to: the rate and time left move on.
    void Refresh();
    // A file's bytes were all read and handed over to be written.
    void FileRead();
    // The line for `columns` columns.
    std::string Text(std::size_t columns) const;

private:
    // The figures, most needed first.
    std::vector<std::string> Figures() const;

    Reporter& reporter_;
    bool colour_;
    std::uint64_t total_;
    std::uint64_t read_ = 0;
    std::uint64_t files_ = 0;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace quorvel::tool
