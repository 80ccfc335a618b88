// The folders and files to pack: the paths given on the command line walked recursively,
// each with the name it is stored under, in the order they go into the archive.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::tool {

struct InputEntry {
    std::string storedName;  // UTF-8, parts separated by backslashes
    std::filesystem::path source;
    bool isFolder = false;
};

using WarningSink = std::function<void(const std::string&)>;

// Walks each path. Stored names are relative to the path's parent folder, or, with a base
// folder, the paths are taken relative to it and stored as given, less any leading "/" and
// ".." parts. Links to files are followed; links to folders, devices, sockets and pipes are
// skipped with a warning.
std::vector<InputEntry> CollectInputs(const std::vector<std::string>& paths,
                                      const std::optional<std::filesystem::path>& baseFolder,
                                      const WarningSink& warn);

// Folders first, outer before inner; then files grouped by extension and, within that, by
// stored name, so that the files of one folder, which tend to be alike, stand together
// within reach of each other's references. Byte-wise comparisons only: the same inputs
// always give the same order.
void OrderForArchive(std::vector<InputEntry>& entries);

// The lower-cased extension of a stored name's last part, without the period.
std::string ExtensionOf(const std::string& storedName);

}  // namespace quorvel::tool
