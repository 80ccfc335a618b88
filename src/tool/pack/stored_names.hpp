// The names files and folders are stored under in a new archive: converted to the code
// page, left out when an Expander could not take them back as the same name, and checked
// against what Windows can create when the Windows Expander is in front.
#pragma once

#include <string>
#include <vector>

#include "tool/common/reporter.hpp"
#include "tool/pack/input_tree.hpp"

namespace quorvel::tool {

// A stored name in the code page, or why it cannot be stored.
struct ArchiveName {
    std::string bytes;
    std::string problem;  // empty when it can be stored
};

// The name `storedName` (UTF-8, backslashes between parts) takes in the archive. Refused: no
// valid UTF-8, a character the code page lacks (naming the code pages that hold it), a name
// every Expander refuses (a leading backslash, a colon, a part of periods and blanks with
// two periods or more), a part that holds a backslash of its own, one longer than 259 bytes,
// one beginning with '*', and a file's that would read as a folder's.
ArchiveName ToArchiveName(const std::string& storedName, bool isFolder, bool partHoldsBackslash, int codePage);

// Refuses names that Windows cannot create as stored, naming each problem's files (throws
// ToolError after printing them); with allowUnportable they are only warned about.
void CheckPortableNames(const std::vector<InputEntry>& entries, int codePage, bool allowUnportable,
                        Reporter& reporter);

}  // namespace quorvel::tool
