#include "tool/extract/target_folder.hpp"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "tool/common/tool_error.hpp"
#include "tool/extract/extract_failure.hpp"

namespace quorvel::tool {
namespace {

constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

}  // namespace

TargetFolder::TargetFolder(const std::string& path) : path_(path) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    root_ = std::make_shared<const UniqueFd>(open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!root_->valid())
        throw ToolError(path + ": cannot be extracted into (" + std::strerror(error ? error.value() : errno) + ")");
}

std::string TargetFolder::PathOf(std::span<const std::string> parts) const {
    std::string path = path_;
    for (const std::string& part : parts) path += (path.ends_with('/') ? "" : "/") + part;
    return path;
}

// Made, or found made; opened without following a link at the name.
SharedFolder TargetFolder::OpenPart(int parent, std::span<const std::string> parts) const {
    const char* name = parts.back().c_str();
    if (parts.back().empty() || parts.back() == "." || parts.back() == "..")
        throw ToolError(PathOf(parts) + ": not a folder name");
    const bool inTarget = parts.size() == 1;
    if (mkdirat(parent, name, 0777) != 0 && errno != EEXIST)
        throw FailureOf(PathOf(parts), "cannot make folder", errno, inTarget);
    UniqueFd folder(openat(parent, name, kFolderFlags));
    if (folder.valid()) return std::make_shared<const UniqueFd>(std::move(folder));
    const int error = errno;
    struct stat info;
    if (fstatat(parent, name, &info, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(info.st_mode))
        throw ToolError(PathOf(parts) + ": cannot make folder: " +
                        (S_ISLNK(info.st_mode) ? "a link stands there, and links are not followed" : "a file stands there"));
    throw FailureOf(PathOf(parts), "cannot open folder", error, inTarget);
}

const SharedFolder& TargetFolder::Folder(std::span<const std::string> parts) {
    std::size_t kept = 0;
    while (kept < parts.size() && kept < openNames_.size() && openNames_[kept] == parts[kept]) ++kept;
    openNames_.resize(kept);
    openFolders_.resize(kept);
    for (std::size_t i = kept; i < parts.size(); ++i) {
        const int parent = i == 0 ? root_->get() : openFolders_[i - 1]->get();
        openFolders_.push_back(OpenPart(parent, parts.first(i + 1)));
        openNames_.push_back(parts[i]);
    }
    return parts.empty() ? root_ : openFolders_.back();
}

}  // namespace quorvel::tool
