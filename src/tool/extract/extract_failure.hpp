// Failures to make or write what an entry needs, and which of them end the extraction.
//
// A failure that would befall every later entry as well stops it at once, with one message:
// no space left (ENOSPC), the quota spent (EDQUOT), a read-only file system (EROFS), a file
// size limit reached (EFBIG: every later file of that size or more would fail alike, and an
// extraction that quietly left out each large file would be worse than one that stops and
// says why), and permission refused in the target folder itself (EACCES, EPERM). Any other
// concerns its entry alone and is counted while the next entries go on: a name refused, a
// file or link in the way, a folder inside the target that cannot be written.
#pragma once

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include "tool/common/tool_error.hpp"

namespace quorvel::tool {

// `inTargetFolder`: the failing call made or wrote a name directly in the target folder.
inline bool FailureRepeats(int error, bool inTargetFolder) {
    switch (error) {
        case ENOSPC:
        case EDQUOT:
        case EROFS:
        case EFBIG: return true;
        case EACCES:
        case EPERM: return inTargetFolder;
        default: return false;
    }
}

struct EntryFailure : ToolError {
    EntryFailure(const std::string& message, bool repeatsForEveryEntry)
        : ToolError(message), repeats(repeatsForEveryEntry) {}
    bool repeats;
};

// "PATH: what (the system's words for the error)", and whether it repeats for every entry.
inline EntryFailure FailureOf(const std::string& shownPath, const std::string& what, int error, bool inTargetFolder) {
    return EntryFailure(shownPath + ": " + what + " (" + std::strerror(error) + ")",
                        FailureRepeats(error, inTargetFolder));
}

// The extraction ends: the message names the failure and the entry.
struct ExtractionStopped : std::runtime_error {
    explicit ExtractionStopped(const std::string& failure) : std::runtime_error(failure + "; extraction stopped") {}
};

}  // namespace quorvel::tool
