#include "tool/input_tree.hpp"

#include <algorithm>
#include <set>
#include <system_error>

#include "tool/tool_error.hpp"

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

class Walker {
public:
    Walker(std::vector<InputEntry>& entries, const WarningSink& warn) : entries_(entries), warn_(warn) {}

    void Walk(const fs::path& source, const std::string& stored, bool followLink) {
        std::error_code error;
        const fs::file_status own = fs::symlink_status(source, error);
        if (error || own.type() == fs::file_type::not_found)
            throw ToolError(source.string() + ": no such file or folder");
        fs::file_status status = own;
        if (fs::is_symlink(own)) {
            status = fs::status(source, error);
            if (error) return warn_(source.string() + ": skipped, a link that leads nowhere");
            if (fs::is_directory(status) && !followLink)
                return warn_(source.string() + ": skipped, a link to a folder");
        }
        if (fs::is_directory(status)) return WalkFolder(source, stored);
        if (!fs::is_regular_file(status)) return warn_(source.string() + ": skipped, not a regular file");
        if (stored.empty()) throw ToolError(source.string() + ": a file needs a name to be stored under");
        Add({stored, source, false});
    }

private:
    void WalkFolder(const fs::path& source, const std::string& stored) {
        if (!stored.empty()) Add({stored, source, true});
        std::error_code error;
        std::vector<fs::path> children;
        for (fs::directory_iterator it(source, error), end; !error && it != end; it.increment(error))
            children.push_back(it->path());
        if (error) throw ToolError(source.string() + ": " + error.message());
        std::sort(children.begin(), children.end(),
                  [](const fs::path& a, const fs::path& b) { return a.filename().native() < b.filename().native(); });
        for (const fs::path& child : children) {
            const std::string name = child.filename().string();
            CheckNamePart(name, child);
            Walk(child, Join(stored, name), false);
        }
    }

    void Add(InputEntry entry) {
        if (!seen_.insert(entry.storedName).second)
            throw ToolError(entry.source.string() + ": stored twice as " + entry.storedName);
        entries_.push_back(std::move(entry));
    }

    std::vector<InputEntry>& entries_;
    const WarningSink& warn_;
    std::set<std::string> seen_;
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

std::vector<InputEntry> CollectInputs(const std::vector<std::string>& paths,
                                      const std::optional<fs::path>& baseFolder, const WarningSink& warn) {
    std::vector<InputEntry> entries;
    Walker walker(entries, warn);
    for (const std::string& given : paths) {
        if (given.empty()) throw UsageError("an empty path was given");
        const fs::path source = baseFolder ? *baseFolder / given : fs::path(given);
        const std::string stored = baseFolder ? StoredRelativeName(given, warn) : StoredOwnName(given);
        for (std::size_t start = 0; start <= stored.size();) {
            const std::size_t end = std::min(stored.find('\\', start), stored.size());
            if (end > start) CheckNamePart(stored.substr(start, end - start), source);
            start = end + 1;
        }
        walker.Walk(source, stored, true);
    }
    return entries;
}

std::string ExtensionOf(const std::string& storedName) {
    const std::size_t nameStart = storedName.rfind('\\') + 1;
    const std::size_t dot = storedName.rfind('.');
    if (dot == std::string::npos || dot < nameStart || dot == nameStart) return "";
    std::string extension = storedName.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return extension;
}

void OrderForArchive(std::vector<InputEntry>& entries) {
    auto key = [](const InputEntry& e) {
        return std::make_tuple(!e.isFolder, e.isFolder ? "" : ExtensionOf(e.storedName), e.storedName);
    };
    std::stable_sort(entries.begin(), entries.end(),
                     [&](const InputEntry& a, const InputEntry& b) { return key(a) < key(b); });
}

}  // namespace quorvel::tool
