#include "tool/read/windows_names.hpp"

#include "format/archive_format.hpp"
#include "tool/common/portable_names.hpp"
#include "tool/tool_namespace.hpp"

namespace quorvel::tool {
namespace {

// The names kept for the check take at most this much memory, whatever the archive holds.
constexpr std::uint64_t kMaxNameBytes = 64 << 20;

std::string ShownStoredName(const std::string& stored, NameText& names) {
    const std::string_view suffix = kFolderSuffix;
    if (stored.ends_with(suffix)) return names.Shown(stored.substr(0, stored.size() - suffix.size())) + "/";
    return names.Shown(stored);
}

}  // namespace

WindowsNameCheck::WindowsNameCheck(StubKind stub)
    : active_(IsWindowsStub(stub)) {}

void WindowsNameCheck::Add(const reader::Entry& entry) {
    if (!active_ || overflowed_) return;
    std::string stored = entry.kind == reader::EntryKind::Folder ? entry.name + kFolderSuffix : entry.name;
    bytes_ += stored.size() + sizeof(std::string);
    if (bytes_ > kMaxNameBytes) {
        overflowed_ = true;
        storedNames_.clear();
        return;
    }
    storedNames_.push_back(std::move(stored));
}

std::vector<std::string> WindowsNameCheck::Warnings(NameText& names) const {
    if (overflowed_) return {"too many names to check which of them Windows cannot create"};
    std::vector<std::string> warnings;
    for (const NameProblem& problem : FindUnportableNames(storedNames_, names.CodePage())) {
        std::string text;
        for (const std::string& name : problem.names)
            text += (text.empty() ? "" : " and ") + Printable(ShownStoredName(name, names));
        warnings.push_back(text + ": " + problem.message);
    }
    return warnings;
}

}  // namespace quorvel::tool
