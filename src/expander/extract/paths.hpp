// Target paths: the folder part of a file's name, and the folders along a path, entered one
// part at a time from the run's folder. A backslash and a slash both separate parts.
#pragma once

#include "expander/console/text.hpp"

namespace quorvel::expander {

// The name up to and including its last separator, into folder; empty if none.
void DirectoryPart(const char* name, Text& folder);

// Enters every folder along path that is followed by a separator, outermost first, making
// the missing ones; they stay held, the innermost for the files made in it. held is the path
// entered before, whose folders are held still. False when a folder cannot be made or
// entered: path is then cut after that part, for the message.
bool MakeFolders(Text& path, const Text& held);

// "Cannot make folder : " and the path up to the failing folder; ends the program with exit
// code 2.
[[noreturn]] void CannotMakeFolder(const char* path);

}  // namespace quorvel::expander
