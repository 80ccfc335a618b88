#include "expander/extract/paths.hpp"

#include "expander/console/console.hpp"
#include "expander/console/messages.hpp"
#include "expander/expander_namespace.hpp"
#include "expander/platform/platform.hpp"
#include "format/entry_names.hpp"

namespace quorvel::expander {

using entry_names::IsSeparator;

void CannotMakeFolder(const char* path) {
    WriteText(message::kCannotMakeFolder);
    WriteName(path);
    WriteChar(kBell);
    EndLine();
    EndProgram(kExitFailed);
}

void DirectoryPart(const char* name, Text& folder) {
    const char* lastSeparator = nullptr;
    for (const char* at = name; *at != 0; at = NextChar(at))
        if (IsSeparator(*at)) lastSeparator = at;
    folder.Clear();
    if (lastSeparator == nullptr) return;
    for (const char* at = name; at <= lastSeparator; ++at) folder.Append(*at);
}

// A part is entered once the separator after it is found: a last part without one is no
// folder to make. An empty part (two separators in a row) stays in the same folder. The
// parts that path shares with the held one, up to a separator, are held already; the
// folders beyond them are let go before the first new part is entered. No folder is entered
// by a path longer than a file name may be.
bool MakeFolders(Text& path, const Text& held) {
    std::uint32_t same = 0;
    while (same < path.length && same < held.length && path.bytes[same] == held.bytes[same]) ++same;
    std::uint32_t depth = 0;
    bool beyond = false;
    char* part = path.bytes;
    for (char* at = part; at != nullptr && *at != 0;) {
        if (!IsSeparator(*at)) {
            at = const_cast<char*>(NextChar(at));
            continue;
        }
        const auto end = static_cast<std::uint32_t>(at - path.bytes);
        if (at != part && end >= same) {
            if (!beyond) LeaveFolders(depth);
            beyond = true;
            const char separator = *at;
            *at = 0;
            if (end > kMaxNameLength || !EnterFolder(path.bytes, part)) return false;
            *at = separator;
        }
        if (at != part) ++depth;
        part = ++at;
    }
    if (!beyond) LeaveFolders(depth);
    return true;
}

}  // namespace quorvel::expander
