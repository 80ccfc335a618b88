// An archive's problem as the user is told it: the entry's name in UTF-8, the block and
// the offset in the file, and what is wrong; and the exit code it ends the tool with.
#pragma once

#include <string>

#include "reader/archive_error.hpp"
#include "tool/common/name_text.hpp"

namespace quorvel::tool {

std::string ProblemText(const reader::ArchiveError& error, NameText& names);

// A short stable name for the problem, for JSON: "broken_block", "wrong_password", ...
const char* ProblemKey(reader::ArchiveProblem problem);

// 2 when the file cannot be read, 1 for an archive that is damaged or locked.
int ExitCodeFor(const reader::ArchiveError& error);

}  // namespace quorvel::tool
