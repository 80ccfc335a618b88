#include "tool/pack/input_tree.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <system_error>

#include "format/archive_format.hpp"
#include "packer/reference_choice.hpp"
#include "tool/common/tool_error.hpp"
#include "tool/pack/file_id.hpp"
#include "tool/pack/output_place.hpp"
#include "tool/pack/skipped_inputs.hpp"
#include "tool/pack/stored_names.hpp"
#include "tool/tool_namespace.hpp"

namespace quorvel::tool {
namespace fs = std::filesystem;
namespace {

std::string Join(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : folder + "\\" + name;
}

bool HoldsBackslash(const std::string& name) { return name.find('\\') != std::string::npos; }

std::string CannotRead(int error) { return std::string("cannot be read (") + std::strerror(error) + ")"; }

// Why a file cannot be opened for reading, 0 when it can: looked at before anything is
// written, so that a file the user cannot read is left out up front. Opening does not
// change its last access time; a pipe standing there by now is not waited for.
int OpenError(const fs::path& file) {
    const int fd = open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return errno;
    close(fd);
    return 0;
}

// Walks folders depth first, keeping the folders on the current path by device and inode
// so that a followed link back to one of them is not walked round and round. What cannot be
// stored is left out, a folder with everything in it.
class Walker {
public:
    Walker(std::vector<InputEntry>& entries, const InputRules& rules, const OutputPlace& output,
           SkippedInputs& skipped, LeftOutInputs& leftOut, const WarningSink& warn)
        : entries_(entries), rules_(rules), output_(output), skipped_(skipped), leftOut_(leftOut), warn_(warn) {}

    // `partHoldsBackslash`: a part of `stored` holds a backslash of its own, which the
    // backslashes joining the parts no longer tell.
    void Walk(const fs::path& source, const std::string& stored, bool given, bool partHoldsBackslash) {
        std::error_code error;
        const fs::file_status own = fs::symlink_status(source, error);
        if (own.type() == fs::file_type::not_found) return leftOut_.LeaveOut(source, "no such file or folder");
        if (error) return leftOut_.LeaveOut(source, CannotRead(error.value()));
        struct stat info;
        if (stat(source.c_str(), &info) != 0) {
            const int statError = errno;
            if (fs::is_symlink(own)) return skipped_.Skip(SkipReason::BrokenLink, source);
            return leftOut_.LeaveOut(source, CannotRead(statError));
        }
        if (S_ISDIR(info.st_mode)) {
            if (fs::is_symlink(own) && !given && !rules_.followFolderLinks)
                return skipped_.Skip(SkipReason::FolderLink, source);
            return WalkFolder(source, stored, info, partHoldsBackslash);
        }
        if (!S_ISREG(info.st_mode)) return skipped_.Skip(SkipReason::SpecialFile, source);
        output_.RefuseAsInput(source, info);
        if (stored.empty()) throw ToolError(source.string() + ": a file needs a name to be stored under");
        // A link is resolved now, so that the file can be opened later without following one.
        const fs::path target = fs::is_symlink(own) ? fs::canonical(source, error) : source;
        if (error) return skipped_.Skip(SkipReason::BrokenLink, source);
        InputEntry entry{stored, source, false, static_cast<std::uint64_t>(info.st_size), IdOf(info), target};
        if (!Named(entry, partHoldsBackslash)) return;
        if (entry.size > kSizeLimit) return leftOut_.LeaveOut(source, "2^31 bytes or more, more than an archive entry holds");
        if (const int openError = OpenError(target)) return leftOut_.LeaveOut(source, CannotRead(openError));
        Add(std::move(entry));
    }

private:
    void WalkFolder(const fs::path& source, const std::string& stored, const struct stat& info,
                    bool partHoldsBackslash) {
        const FileId id = IdOf(info);
        for (const auto& [onPath, path] : path_)
            if (onPath == id)
                return warn_(source.string() + ": skipped, it leads back to " + path.string() +
                             ", a folder it lies in");
        output_.RefuseAsInput(source, info);
        InputEntry entry{stored, source, true};
        if (!stored.empty() && !Named(entry, partHoldsBackslash)) return;
        std::error_code error;
        const std::vector<fs::path> children = SortedChildren(source, error);
        if (error) return leftOut_.LeaveOut(source, CannotRead(error.value()), true);
        if (!stored.empty() && !Add(std::move(entry))) return;
        path_.emplace_back(id, source);
        for (const fs::path& child : children) {
            const std::string name = child.filename().string();
            Walk(child, Join(stored, name), false, HoldsBackslash(name));
        }
        path_.pop_back();
    }

    // Gives the entry its name in the archive, or leaves it out when it cannot have one.
    bool Named(InputEntry& entry, bool partHoldsBackslash) {
        ArchiveName name = ToArchiveName(entry.storedName, entry.isFolder, partHoldsBackslash, rules_.codePage);
        if (!name.problem.empty()) {
            leftOut_.LeaveOut(entry.source, name.problem, entry.isFolder);
            return false;
        }
        entry.archiveName = std::move(name.bytes);
        return true;
    }

    static std::vector<fs::path> SortedChildren(const fs::path& folder, std::error_code& error) {
        std::vector<fs::path> children;
        for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
            children.push_back(it->path());
        std::sort(children.begin(), children.end(),
                  [](const fs::path& a, const fs::path& b) { return a.filename().native() < b.filename().native(); });
        return children;
    }

    bool Add(InputEntry entry) {
        if (!seen_.insert(entry.storedName).second) {
            leftOut_.LeaveOut(entry.source, "stored twice as " + entry.storedName, entry.isFolder);
            return false;
        }
        entries_.push_back(std::move(entry));
        return true;
    }

    std::vector<InputEntry>& entries_;
    const InputRules& rules_;
    const OutputPlace& output_;
    SkippedInputs& skipped_;
    LeftOutInputs& leftOut_;
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
                                      LeftOutInputs& leftOut, const WarningSink& warn) {
    std::vector<InputEntry> entries;
    const OutputPlace output(rules.output);
    SkippedInputs skipped(rules.listSkipped, warn);
    Walker walker(entries, rules, output, skipped, leftOut, warn);
    const std::optional<fs::path>& base = rules.baseFolder;
    for (const std::string& given : paths) {
        if (given.empty()) throw UsageError("an empty path was given");
        const fs::path source = base ? *base / given : fs::path(given);
        const std::string stored = base ? StoredRelativeName(given, warn) : StoredOwnName(given);
        output.RefuseAsGivenPath(source);
        walker.Walk(source, stored, true, HoldsBackslash(base ? given : stored));
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
