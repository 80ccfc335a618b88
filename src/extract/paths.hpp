// Target paths: the folder part of a file's name, and folder creation along a path.
#pragma once

#include "console/text.hpp"

namespace quorvel {

// The name up to and including its last separating backslash, into folder; empty if none.
void DirectoryPart(const char* name, Text& folder);

// Makes every folder along path that is followed by a separating backslash, outermost
// first. Ends the program with exit code 2 when one cannot be made. The path's bytes are
// cut at each backslash in turn and restored afterwards.
void MakeFolders(Text& path);

}  // namespace quorvel
