#include "tool/pack/input_tree.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <system_error>

#include "packer/reference_choice.hpp"
#include "tool/common/tool_error.hpp"
#include "tool/pack/file_id.hpp"
#include "tool/pack/output_place.hpp"
#include "tool/pack/skipped_inputs.hpp"
#include "tool/tool_namespace.hpp"

namespace quorvel::tool {
namespace fs = std::filesystem;
namespace {

std::string Join(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : folder + "\\" + name;
}

// A part of a name must not hold the folder separator of the archive or a colon, and must
// not consist of periods and blanks with two periods or more: the Expander refuses those.
void CheckNamePart(const std::string& part, const fs::path& source) {
    if (part.find('\\') != std::string::npos)
        throw ToolError(source.string() + ": the name holds a backslash, which an archive takes for a folder separator");
    if (part.find(':') != std::string::npos) throw ToolError(source.string() + ": the name holds a colon");
    const bool periodsAndBlanks = part.find_first_not_of(". ") == std::string::npos;
    if (periodsAndBlanks && std::count(part.begin(), part.end(), '.') >= 2)
        throw ToolError(source.string() + ": a name of periods and blanks cannot be stored");
}

// Walks folders depth first, keeping the folders on the current path by device and inode
// so that a followed link back to one of them is not walked round and round.
class Walker {
public:
    Walker(std::vector<InputEntry>& entries, const InputRules& rules, const OutputPlace& output,
           SkippedInputs& skipped, const WarningSink& warn)
        : entries_(entries), rules_(rules), output_(output), skipped_(skipped), warn_(warn) {}

    void Walk(const fs::path& source, const std::string& stored, bool given) {
        std::error_code error;
        const fs::file_status own = fs::symlink_status(source, error);
        if (error || own.type() == fs::file_type::not_found)
            throw ToolError(source.string() + ": no such file or folder");
        struct stat info;
        if (stat(source.c_str(), &info) != 0) {
            if (fs::is_symlink(own)) return skipped_.Skip(SkipReason::BrokenLink, source);
            throw ToolError(source.string() + ": " + std::strerror(errno));
        }
        if (S_ISDIR(info.st_mode)) {
            if (fs::is_symlink(own) && !given && !rules_.followFolderLinks)
                return skipped_.Skip(SkipReason::FolderLink, source);
            return WalkFolder(source, stored, info);
        }
        if (!S_ISREG(info.st_mode)) return skipped_.Skip(SkipReason::SpecialFile, source);
        output_.RefuseAsInput(source, info);
        if (stored.empty()) throw ToolError(source.string() + ": a file needs a name to be stored under");
        // A link is resolved now, so that the file can be opened later without following one.
        const fs::path target = fs::is_symlink(own) ? fs::canonical(source, error) : source;
        if (error) return skipped_.Skip(SkipReason::BrokenLink, source);
        Add({stored, source, false, static_cast<std::uint64_t>(info.st_size), IdOf(info), target});
    }

private:
    void WalkFolder(const fs::path& source, const std::string& stored, const struct stat& info) {
        const FileId id = IdOf(info);
        for (const auto& [onPath, path] : path_)
            if (onPath == id)
                return warn_(source.string() + ": skipped, it leads back to " + path.string() +
                             ", a folder it lies in");
        output_.RefuseAsInput(source, info);
        if (!stored.empty()) Add({stored, source, true});
        path_.emplace_back(id, source);
        for (const fs::path& child : SortedChildren(source)) {
            const std::string name = child.filename().string();
            CheckNamePart(name, child);
            Walk(child, Join(stored, name), false);
        }
        path_.pop_back();
    }

    static std::vector<fs::path> SortedChildren(const fs::path& folder) {
        std::error_code error;
        std::vector<fs::path> children;
        for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
            children.push_back(it->path());
        if (error) throw ToolError(folder.string() + ": " + error.message());
        std::sort(children.begin(), children.end(),
                  [](const fs::path& a, const fs::path& b) { return a.filename().native() < b.filename().native(); });
        return children;
    }

    void Add(InputEntry entry) {
        if (!seen_.insert(entry.storedName).second)
            throw ToolError(entry.source.string() + ": stored twice as " + entry.storedName);
        entries_.push_back(std::move(entry));
    }

    std::vector<InputEntry>& entries_;
    const InputRules& rules_;
    const OutputPlace& output_;
    SkippedInputs& skipped_;
    const WarningSink& warn_;
    std::set<std::string> seen_;
    std::vector<std::pair<FileId, fs::path>> path_;  // the folders being walked, outermost first
};

// The stored name of a path given relative to a base folder: its parts less "." and any
// leading "/" or "..".
std::string StoredRelativeName(const std::string& given, const WarningSink& warn) {
    const fs::path normal = fs::path(given).lexically_normal();
    std::string stored;
    bool dropped = normal.has_root_directory();
    for (const fs::path& part : normal.relative_path()) {
        const std::string text = part.string();
        if (text.empty() || text == ".") continue;
        if (text == ".." && stored.empty()) {
            dropped = true;
            continue;
        }
        stored = Join(stored, text);
    }
    if (dropped) warn(given + ": leading \"/\" and \"..\" parts are not stored");
    return stored;
}

// The last part of the path, as the user's folder would name it.
std::string StoredOwnName(const std::string& given) {
    fs::path absolute = fs::absolute(fs::path(given)).lexically_normal();
    if (!absolute.has_filename()) absolute = absolute.parent_path();
    return absolute.filename().string();
}

}  // namespace

std::vector<InputEntry> CollectInputs(const std::vector<std::string>& paths, const InputRules& rules,
                                      const WarningSink& warn) {
    std::vector<InputEntry> entries;
    const OutputPlace output(rules.output);
    SkippedInputs skipped(rules.listSkipped, warn);
    Walker walker(entries, rules, output, skipped, warn);
    const std::optional<fs::path>& base = rules.baseFolder;
    for (const std::string& given : paths) {
        if (given.empty()) throw UsageError("an empty path was given");
        const fs::path source = base ? *base / given : fs::path(given);
        const std::string stored = base ? StoredRelativeName(given, warn) : StoredOwnName(given);
        for (std::size_t start = 0; start <= stored.size();) {
            const std::size_t end = std::min(stored.find('\\', start), stored.size());
            if (end > start) CheckNamePart(stored.substr(start, end - start), source);
            start = end + 1;
        }
        output.RefuseAsGivenPath(source);
        walker.Walk(source, stored, true);
    }
    skipped.Summarize();
    return entries;
}

void OrderForArchive(std::vector<InputEntry>& entries) {
    auto key = [](const InputEntry& e) {
        return std::make_tuple(!e.isFolder, e.isFolder ? "" : ExtensionOf(e.storedName), e.storedName);
    };
    std::stable_sort(entries.begin(), entries.end(),
                     [&](const InputEntry& a, const InputEntry& b) { return key(a) < key(b); });
}

}  // namespace quorvel::tool
