#include "tool/common/portable_names.hpp"

#include <map>
#include <set>
#include <string_view>

#include "tool/common/code_page.hpp"
#include "tool/tool_namespace.hpp"

namespace quorvel::tool {
namespace {

constexpr std::string_view kFolderMarker = kFolderSuffix;
constexpr char kHexDigits[] = "0123456789ABCDEF";

// A file or folder the archive makes, by its name without the folder marker.
struct MadePath {
    std::string path;
    bool isFolder = false;
    auto operator<=>(const MadePath&) const = default;
};

// The name a problem gives for a path: a folder in the form of its entry.
std::string NameOf(const MadePath& made) { return made.isFolder ? made.path + std::string(kFolderMarker) : made.path; }

// Every path the names make, the folders along each name included. Backslashes separate
// only at the start of a character: a trail byte 0x5C belongs to its double-byte character.
std::set<MadePath> PathsMade(const std::vector<std::string>& storedNames, int codePage) {
    std::set<MadePath> paths;
    for (const std::string& name : storedNames) {
        const bool isFolder = name.ends_with(kFolderMarker);
        const std::string path = isFolder ? name.substr(0, name.size() - kFolderMarker.size()) : name;
        for (std::size_t at = 0; at < path.size(); at += CharacterLength(path, at, codePage))
            if (path[at] == '\\' && at > 0) paths.insert({path.substr(0, at), true});
        paths.insert({path, isFolder});
    }
    return paths;
}

// Windows' upper-case form of a one-byte character: ASCII letters and, in code page 1252,
// the letters above 0x7F whose upper-case form the page holds (ß has none).
unsigned char UpperCase(unsigned char c, int codePage) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 'a' + 'A');
    if (codePage != 1252) return c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);  // à..þ, not ÷
    if (c == 0x9A || c == 0x9C || c == 0x9E) return static_cast<unsigned char>(c - 0x10);  // š œ ž
    if (c == 0xFF) return 0x9F;                                                             // ÿ
    return c;
}

// The text as Windows compares names: one-byte characters upper-cased, double-byte ones
// left as they are, so that a trail byte is never taken for a letter.
std::string FoldedCase(std::string_view text, int codePage) {
    std::string folded(text);
    for (std::size_t at = 0; at < folded.size();) {
        const std::size_t length = CharacterLength(folded, at, codePage);
        if (length == 1) folded[at] = static_cast<char>(UpperCase(static_cast<unsigned char>(folded[at]), codePage));
        at += length;
    }
    return folded;
}

void FindCaseCollisions(const std::set<MadePath>& paths, int codePage, std::vector<NameProblem>& problems) {
    std::map<std::string, std::vector<std::string>> namesByFolded;
    for (const MadePath& made : paths) namesByFolded[FoldedCase(made.path, codePage)].push_back(NameOf(made));
    for (auto& [folded, names] : namesByFolded) {
        if (names.size() > 1)
            problems.push_back({NameProblemKind::CaseCollision, std::move(names),
                                "Windows takes these names for the same file or folder"});
    }
}

// The last part of a path, after its last separating backslash.
std::string_view LastPart(std::string_view path, int codePage) {
    std::size_t start = 0;
    for (std::size_t at = 0; at < path.size(); at += CharacterLength(path, at, codePage))
        if (path[at] == '\\') start = at + 1;
    return path.substr(start);
}

// CON, PRN, AUX, NUL, COM1-COM9 and LPT1-LPT9 name devices whatever follows the first
// period and whatever blanks come before it. Code page 1252's superscript digits ¹ ² ³
// count as digits there.
bool IsReservedDeviceName(std::string_view part, int codePage) {
    std::string base = FoldedCase(part.substr(0, part.find('.')), codePage);
    while (!base.empty() && base.back() == ' ') base.pop_back();
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
    if (base.size() != 4 || !(base.starts_with("COM") || base.starts_with("LPT"))) return false;
    const unsigned char digit = static_cast<unsigned char>(base[3]);
    return (digit >= '1' && digit <= '9') ||
           (codePage == 1252 && (digit == 0xB9 || digit == 0xB2 || digit == 0xB3));
}

// The first one-byte character Windows does not allow in a name, described; empty if none.
std::string ReservedCharacterIn(std::string_view part, int codePage) {
    for (std::size_t at = 0; at < part.size(); at += CharacterLength(part, at, codePage)) {
        const unsigned char c = static_cast<unsigned char>(part[at]);
        if (c < 0x20) return std::string("the control byte 0x") + kHexDigits[c >> 4] + kHexDigits[c & 0xF];
        if (std::string_view("<>:\"|?*").find(static_cast<char>(c)) != std::string_view::npos)
            return std::string("the character '") + static_cast<char>(c) + "'";
    }
    return "";
}

void FindPartProblems(const MadePath& made, int codePage, std::vector<NameProblem>& problems) {
    const std::string_view part = LastPart(made.path, codePage);
    auto add = [&](NameProblemKind kind, std::string message) {
        problems.push_back({kind, {NameOf(made)}, std::move(message)});
    };
    if (IsReservedDeviceName(part, codePage))
        add(NameProblemKind::ReservedDeviceName, "Windows reserves this name for a device, whatever its extension");
    if (const std::string character = ReservedCharacterIn(part, codePage); !character.empty())
        add(NameProblemKind::ReservedCharacter, "holds " + character + ", which Windows does not allow in a name");
    // Trail bytes are never below 0x40, so a last byte of period or blank is a last character.
    if (part.ends_with('.') || part.ends_with(' '))
        add(NameProblemKind::TrailingPeriodOrBlank,
            std::string("ends in a ") + (part.ends_with('.') ? "period" : "blank") + ", which Windows drops");
}

void FindLengthProblems(const MadePath& made, std::vector<NameProblem>& problems) {
    if (made.path.size() > kLongestStoredName) {
        problems.push_back({NameProblemKind::TooLong, {NameOf(made)},
                            "is longer than " + std::to_string(kLongestStoredName) + " bytes, more than the Expander can create"});
    } else if (made.path.size() > kLongNameWarning) {
        problems.push_back({NameProblemKind::Long, {NameOf(made)},
                            "is longer than " + std::to_string(kLongNameWarning) +
                                " bytes, which leaves little room for the folder it is extracted into",
                            true});
    }
}

}  // namespace

std::vector<NameProblem> FindUnportableNames(const std::vector<std::string>& storedNames, int codePage) {
    const std::set<MadePath> paths = PathsMade(storedNames, codePage);
    std::vector<NameProblem> problems;
    FindCaseCollisions(paths, codePage, problems);
    for (const MadePath& made : paths) {
        FindPartProblems(made, codePage, problems);
        FindLengthProblems(made, problems);
    }
    return problems;
}

}  // namespace quorvel::tool
