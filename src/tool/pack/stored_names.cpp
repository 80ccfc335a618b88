#include "tool/pack/stored_names.hpp"

#include <map>

#include "format/archive_format.hpp"
#include "format/code_pages.hpp"
#include "format/entry_names.hpp"
#include "tool/common/code_page.hpp"
#include "tool/common/portable_names.hpp"
#include "tool/common/tool_error.hpp"
#include "tool/tool_namespace.hpp"

namespace quorvel::tool {
namespace {

// Why IsUnsafeName refused a name, told from its UTF-8 form: in every code page a colon, a
// period and a blank are one-byte characters and never the trail byte of another, and a
// backslash between parts is a separator.
std::string UnsafeReason(const std::string& storedName) {
    if (storedName[0] == '\\') return "the name begins with a backslash, which every Expander refuses";
    if (storedName.find(':') != std::string::npos)
        return "the name holds a colon, which every Expander refuses (on Windows it names a drive or a stream)";
    return "a part of the name is periods and blanks with two periods or more, which every Expander refuses "
           "(it reads as a folder above)";
}

}  // namespace

ArchiveName ToArchiveName(const std::string& storedName, bool isFolder, bool partHoldsBackslash, int codePage) {
    std::optional<std::string> name = TryFromUtf8(storedName, codePage);
    if (!name) return {"", Utf8Problem(storedName, codePage)};
    const auto nextChar = [codePage](const char* at) { return NextCharIn(at, static_cast<unsigned>(codePage)); };
    if (IsUnsafeName(name->c_str(), nextChar)) return {"", UnsafeReason(storedName)};
    if (partHoldsBackslash) return {"", "the name holds a backslash, which an archive takes for a folder separator"};
    if (name->size() > kMaxNameLength)
        return {"", "the stored name is " + std::to_string(name->size()) + " bytes, longer than the 259 an Expander can create"};
    if ((*name)[0] == kPrefixMark) return {"", "a stored name cannot begin with '*'"};
    // A last character ending in the byte 0x5C followed by a period would read as a folder.
    if (!isFolder && name->ends_with(kFolderSuffix)) return {"", "the stored name would read as a folder"};
    return {std::move(*name), ""};
}

void CheckPortableNames(const std::vector<InputEntry>& entries, int codePage, bool allowUnportable,
                        Reporter& reporter) {
    std::vector<std::string> storedNames;
    std::map<std::string, std::string> sourceOf;
    for (const InputEntry& entry : entries) {
        storedNames.push_back(entry.isFolder ? entry.archiveName + kFolderSuffix : entry.archiveName);
        sourceOf[storedNames.back()] = entry.source.string();
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
