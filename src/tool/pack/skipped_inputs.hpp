// The inputs pack leaves out: links to folders (unless followed), links that lead nowhere,
// and special files (devices, sockets, pipes). Each is listed as it is met when asked (-v);
// otherwise one line sums them up, so that a large tree does not bury the other messages.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <string>
#include <utility>

#include "tool/common/warning_sink.hpp"

namespace quorvel::tool {

enum class SkipReason { FolderLink, BrokenLink, SpecialFile };

class SkippedInputs {
public:
    SkippedInputs(bool listEach, WarningSink warn) : listEach_(listEach), warn_(std::move(warn)) {}

    void Skip(SkipReason reason, const std::filesystem::path& source);
    // "skipped N links to folders and M special files; -v lists them", when any were
    // skipped without being listed.
    void Summarize() const;

private:
    bool listEach_;
    WarningSink warn_;
    std::array<std::size_t, 3> counts_{};
};

}  // namespace quorvel::tool
