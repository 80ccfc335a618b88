// The folder extracted into and the folders made inside it, each opened relative to the
// one above it and never through a link: a link already standing in the tree is in the way
// like a file, so that nothing is made or written outside the folder.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "tool/common/unique_fd.hpp"

namespace quorvel::tool {

// A folder's descriptor, shared by the files still to be written in it: it stays open until
// the last of them is done, with no copy of its own for each.
using SharedFolder = std::shared_ptr<const UniqueFd>;

class TargetFolder {
public:
    // Makes the folder, and those above it, when missing. Throws ToolError.
    explicit TargetFolder(const std::string& path);

    // The folder of `parts` (UTF-8 names, none empty, "." or "..") inside the target, made
    // where missing. Throws EntryFailure naming the path when a part cannot be made,
    // ToolError when something else stands there.
    const SharedFolder& Folder(std::span<const std::string> parts);
    // The path of a name inside the target, for messages.
    std::string PathOf(std::span<const std::string> parts) const;

private:
    SharedFolder OpenPart(int parent, std::span<const std::string> parts) const;

    std::string path_;
    SharedFolder root_;
    // The folders of the last call, outermost first: openFolders_[i] holds openNames_[0..i].
    std::vector<std::string> openNames_;
    std::vector<SharedFolder> openFolders_;
};

}  // namespace quorvel::tool
