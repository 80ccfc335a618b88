// The folders and files to pack: the paths given on the command line walked recursively,
// each with the name it is stored under, in the order they go into the archive.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tool/cli/command_options.hpp"
#include "tool/common/warning_sink.hpp"
#include "tool/pack/file_id.hpp"
#include "tool/pack/left_out_inputs.hpp"

namespace quorvel::tool {

struct InputEntry {
    std::string storedName;  // UTF-8, parts separated by backslashes
    std::filesystem::path source;
    bool isFolder = false;
    // A file's, when it was met: its size, device and inode, and the path it is read from,
    // the source itself or, for a link, the file the link led to then.
    std::uint64_t size = 0;
    FileId id{};
    std::filesystem::path target{};
    std::string archiveName{};  // in the code page, as stored
};

// How the paths given to pack are walked.
struct InputRules {
    // Paths are taken relative to it and stored as given, less any leading "/" and "..".
    std::optional<std::filesystem::path> baseFolder;
    bool followFolderLinks = false;  // -L
    bool listSkipped = false;        // -v: a warning for each input skipped
    std::filesystem::path output;    // refused as an input, or inside an input folder
    int codePage = kDefaultCodePage;  // the stored names'
};

// Walks each path. Stored names are relative to the path's parent folder, or to the base
// folder. Links to files are followed; links to folders only when the rules say so or when
// given as a path, and never to a folder they lie in (a warning each); links that lead
// nowhere, devices, sockets and pipes are skipped and summed up in one warning. Inputs that
// cannot be stored are left out: missing, unreadable (a file that does not open, a folder
// that cannot be listed), 2^31 bytes or more, a name the archive cannot hold (see
// ToArchiveName) or one already taken. Throws ToolError when the output is among the inputs.
std::vector<InputEntry> CollectInputs(const std::vector<std::string>& paths, const InputRules& rules,
                                      LeftOutInputs& leftOut, const WarningSink& warn);

// Folders first, outer before inner; then files grouped by extension and, within that, by
// stored name, so that the files of one folder, which tend to be alike, stand together
// within reach of each other's references. Byte-wise comparisons only: the same inputs
// always give the same order.
void OrderForArchive(std::vector<InputEntry>& entries);

}  // namespace quorvel::tool
