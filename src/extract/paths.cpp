#include "extract/paths.hpp"

#include "console/console.hpp"
#include "console/messages.hpp"
#include "platform/platform.hpp"

namespace quorvel {
namespace {

[[noreturn]] void CannotMakeFolder(const char* component) {
    WriteText(message::kCannotMakeFolder);
    WriteText(component);
    WriteChar(kBell);
    EndLine();
    EndProgram(2);
}

// A link or junction, even to a folder, counts as something in the way: a path is never
// followed through one to a place outside.
void EnsureFolder(const char* component) {
    const std::int32_t attributes = FindAttributes(component);
    if (attributes < 0) {
        if (!MakeFolder(component)) CannotMakeFolder(component);
    } else if ((static_cast<std::uint32_t>(attributes) & (kFolderAttribute | kReparsePointAttribute)) !=
               kFolderAttribute) {
        CannotMakeFolder(component);
    }
}

}  // namespace

void DirectoryPart(const char* name, Text& folder) {
    const char* lastBackslash = nullptr;
    for (const char* at = name; *at != 0; at = NextChar(at))
        if (*at == '\\') lastBackslash = at;
    folder.Clear();
    if (lastBackslash == nullptr) return;
    for (const char* at = name; at <= lastBackslash; ++at) folder.Append(*at);
}

void MakeFolders(Text& path) {
    if (path.length == 0) return;
    char* at = path.bytes;
    while (*at != 0) {
        while (*at != '\\') {
            // A path whose last part is not followed by a separating backslash: that part
            // is not a folder to make.
            if (*at == 0) return;
            at = const_cast<char*>(NextChar(at));
        }
        *at = 0;
        EnsureFolder(path.bytes);
        *at = '\\';
        at = const_cast<char*>(NextChar(at));
    }
}

}  // namespace quorvel
