#include "tool/pack/output_place.hpp"

#include "tool/common/tool_error.hpp"

namespace quorvel::tool {
namespace fs = std::filesystem;

OutputPlace::OutputPlace(const fs::path& output) : output_(output) {
    std::error_code error;
    resolved_ = fs::weakly_canonical(fs::absolute(output, error), error);
    struct stat info;
    if (stat(output.c_str(), &info) == 0 && !S_ISDIR(info.st_mode)) file_ = IdOf(info);
    for (fs::path folder = resolved_.parent_path();; folder = folder.parent_path()) {
        if (stat(folder.c_str(), &info) == 0) folders_.insert(IdOf(info));
        if (folder == folder.parent_path()) break;
    }
}

void OutputPlace::RefuseAsGivenPath(const fs::path& source) const {
    std::error_code error;
    const fs::path resolved = fs::weakly_canonical(fs::absolute(source, error), error);
    if (error || resolved_.empty()) return;
    if (resolved == resolved_) Refuse(source, false);
    const fs::path inside = resolved_.lexically_relative(resolved);
    if (!inside.empty() && *inside.begin() != "..") Refuse(source, true);
}

void OutputPlace::RefuseAsInput(const fs::path& source, const struct stat& info) const {
    const bool folder = S_ISDIR(info.st_mode);
    if (folder ? folders_.contains(IdOf(info)) : file_ == IdOf(info)) Refuse(source, folder);
}

void OutputPlace::Refuse(const fs::path& source, bool folder) const {
    if (folder) throw ToolError(output_.string() + ": the output lies inside the input folder " + source.string());
    throw ToolError(output_.string() + ": the output is one of the inputs (" + source.string() + ")");
}

}  // namespace quorvel::tool
