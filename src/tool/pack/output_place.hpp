// Where pack's OUTPUT goes, kept to refuse an output that is one of the inputs or lies
// inside an input folder: the file itself when it exists and every folder it lies in, by
// device and inode, and its resolved path.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <set>

#include "tool/pack/file_id.hpp"

namespace quorvel::tool {

class OutputPlace {
public:
    explicit OutputPlace(const std::filesystem::path& output);

    // Throws ToolError naming the output when `source` is a path given to pack that
    // resolves to the output or to a folder it lies in.
    void RefuseAsGivenPath(const std::filesystem::path& source) const;
    // The same for a file or folder met while walking, with its status (links followed).
    void RefuseAsInput(const std::filesystem::path& source, const struct stat& info) const;

private:
    [[noreturn]] void Refuse(const std::filesystem::path& source, bool folder) const;

    std::filesystem::path output_;
    std::filesystem::path resolved_;
    std::optional<FileId> file_;
    std::set<FileId> folders_;
};

}  // namespace quorvel::tool
