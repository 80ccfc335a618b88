#include "tool/pack/stored_names.hpp"

#include <map>

#include "format/archive_format.hpp"
#include "tool/common/code_page.hpp"
#include "tool/common/portable_names.hpp"
#include "tool/common/tool_error.hpp"
#include "tool/tool_namespace.hpp"

namespace quorvel::tool {

std::string ArchiveName(const InputEntry& entry, int codePage) {
    const std::string name = FromUtf8(entry.storedName, codePage, entry.source.string());
    if (name.size() > kMaxNameLength)
        throw ToolError(entry.source.string() + ": the stored name is longer than 259 bytes");
    if (name[0] == kPrefixMark) throw ToolError(entry.source.string() + ": a stored name cannot begin with '*'");
    // A last character ending in the byte 0x5C followed by a period would read as a folder.
    if (!entry.isFolder && name.ends_with(kFolderSuffix))
        throw ToolError(entry.source.string() + ": the stored name would read as a folder");
    return name;
}

void CheckPortableNames(const std::vector<InputEntry>& entries, const std::vector<std::string>& names,
                        int codePage, bool allowUnportable, Reporter& reporter) {
    std::vector<std::string> storedNames;
    std::map<std::string, std::string> sourceOf;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        storedNames.push_back(entries[i].isFolder ? names[i] + kFolderSuffix : names[i]);
        sourceOf[storedNames.back()] = entries[i].source.string();
    }
    bool refused = false;
    for (const NameProblem& problem : FindUnportableNames(storedNames, codePage)) {
        std::string text;
        for (const std::string& name : problem.names) {
            const auto source = sourceOf.find(name);  // a folder given only as part of a -C path has none
            text += (text.empty() ? "" : " and ") + (source != sourceOf.end() ? source->second : name);
        }
        text += ": " + problem.message;
        if (problem.warningOnly || allowUnportable) {
            reporter.Warning(text);
        } else {
            reporter.Error(text);
            refused = true;
        }
    }
    if (refused)
        throw ToolError("Windows cannot create these names as stored; --allow-unportable-names packs them anyway");
}

}  // namespace quorvel::tool
