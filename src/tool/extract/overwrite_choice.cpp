#include "tool/extract/overwrite_choice.hpp"

#include <unistd.h>

#include <cctype>
#include <iostream>

#include "tool/common/name_text.hpp"
#include "tool/common/tool_error.hpp"

namespace quorvel::tool {
namespace {

// An answer as typed, without the blanks around it and in lower case: Y and YES count.
std::string Normalized(const std::string& answer) {
    const std::size_t first = answer.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    std::string normalized = answer.substr(first, answer.find_last_not_of(" \t\r") + 1 - first);
    for (char& c : normalized) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return normalized;
}

}  // namespace

OverwriteChoice::OverwriteChoice(std::optional<Overwrite> given, Reporter& reporter,
                                 std::function<void()> beforeQuestion)
    : mode_(given.value_or(isatty(STDIN_FILENO) == 1 ? Overwrite::Ask : Overwrite::Never)),
      reporter_(reporter),
      beforeQuestion_(std::move(beforeQuestion)) {}

ExistingFile OverwriteChoice::Decide(const std::string& shownPath) {
    switch (mode_) {
        case Overwrite::Always: return ExistingFile::Replace;
        case Overwrite::Never: return ExistingFile::Keep;
        case Overwrite::Rename: return ExistingFile::Rename;
        case Overwrite::Ask: break;
    }
    return Ask(shownPath);
}

// The answer is read from standard input, a line at a time; the end of input answers none.
ExistingFile OverwriteChoice::Ask(const std::string& shownPath) {
    if (beforeQuestion_) beforeQuestion_();
    for (;;) {
        reporter_.Ask(Printable(shownPath) + " exists. Replace it? [y]es, [n]o, [a]ll, n[o]ne, [r]ename: ");
        std::string typed;
        if (!std::getline(std::cin, typed)) {
            reporter_.Ask("\n");
            mode_ = Overwrite::Never;
            return ExistingFile::Keep;
        }
        const std::string answer = Normalized(typed);
        if (answer == "y" || answer == "yes") return ExistingFile::Replace;
        if (answer == "n" || answer == "no") return ExistingFile::Keep;
        if (answer == "r" || answer == "rename") return ExistingFile::Rename;
        if (answer == "a" || answer == "all") {
            mode_ = Overwrite::Always;
            return ExistingFile::Replace;
        }
        if (answer == "o" || answer == "none") {
            mode_ = Overwrite::Never;
            return ExistingFile::Keep;
        }
    }
}

std::string FreeName(const std::string& name, const std::function<bool(const std::string&)>& exists) {
    // The extension starts at the last period, unless that begins the name (".profile").
    const std::size_t period = name.rfind('.');
    const std::size_t stemEnd = period == std::string::npos || period == 0 ? name.size() : period;
    for (unsigned n = 1;; ++n) {
        std::string candidate = name.substr(0, stemEnd) + " (" + std::to_string(n) + ")" + name.substr(stemEnd);
        if (!exists(candidate)) return candidate;
        if (n == 100000) throw ToolError(name + ": no free name to rename to");
    }
}

}  // namespace quorvel::tool
