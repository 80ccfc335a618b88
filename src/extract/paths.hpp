// Target paths: the folder part of a file's name, folder creation along a path, and the
// names an archive may not use.
#pragma once

#include "console/text.hpp"

namespace quorvel {

// A folder entry's name ends in the two bytes backslash, period.
bool IsFolderEntry(const Text& name);

// A name that could reach outside the current folder: one that starts with a backslash or a
// slash, holds a colon (drives, alternate streams), or has a component of periods and blanks
// only with at least two periods.
bool IsUnsafeName(const char* name);

// The name up to and including its last separating backslash, into folder; empty if none.
void DirectoryPart(const char* name, Text& folder);

// Makes every folder along path that is followed by a separating backslash, outermost
// first. Ends the program with exit code 2 when one cannot be made. The path's bytes are
// cut at each backslash in turn and restored afterwards.
void MakeFolders(Text& path);

}  // namespace quorvel
