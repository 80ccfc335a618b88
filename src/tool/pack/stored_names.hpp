// The names files and folders are stored under in a new archive: converted to the code
// page, refused when the Expander could not take them back as the same name, and checked
// against what Windows can create when the Windows Expander is in front.
#pragma once

#include <string>
#include <vector>

#include "tool/common/reporter.hpp"
#include "tool/pack/input_tree.hpp"

namespace quorvel::tool {

// A stored name in the code page. Throws ToolError naming the source.
std::string ArchiveName(const InputEntry& entry, int codePage);

// Refuses names that Windows cannot create as stored, naming each problem's files (throws
// ToolError after printing them); with allowUnportable they are only warned about.
void CheckPortableNames(const std::vector<InputEntry>& entries, const std::vector<std::string>& names,
                        int codePage, bool allowUnportable, Reporter& reporter);

}  // namespace quorvel::tool
