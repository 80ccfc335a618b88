// Stored names that a Windows file system cannot create as the archive means them: names
// that differ only in letter case, reserved device names and characters, components ending
// in a period or a blank, and names too long for the Expander.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "format/archive_format.hpp"
#include "tool/tool_namespace.hpp"

namespace quorvel::tool {

enum class NameProblemKind {
    CaseCollision,         // Windows takes the names for the same file or folder
    ReservedDeviceName,    // CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, with any extension
    ReservedCharacter,     // one of <>:"|?* or a byte below 0x20
    TrailingPeriodOrBlank, // Windows drops the period or blank, so the name changes
    TooLong,               // longer than the Expander can create
    Long,                  // long enough to leave little room for the folder extracted into
};

struct NameProblem {
    NameProblemKind kind;
    std::vector<std::string> names;  // as given, or a folder name + "\." for a folder only implied
    std::string message;             // what is wrong, without the names
    bool warningOnly = false;        // a hint, not a reason to refuse the archive
};

// The limits on a stored name's length in bytes: the Expander cannot create a longer one,
// and one above the warning length leaves little room for the folder it is extracted into.
constexpr std::size_t kLongestStoredName = kMaxNameLength;
constexpr std::size_t kLongNameWarning = 200;

// Checks an archive's entry names (in the code page, parts separated by backslashes,
// folder entries ending in "\."). Every folder a name passes through is checked as well,
// whether or not the archive has an entry for it. Collisions come first, then the other
// problems in byte order of the names.
std::vector<NameProblem> FindUnportableNames(const std::vector<std::string>& storedNames, int codePage);

}  // namespace quorvel::tool
