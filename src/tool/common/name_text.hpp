// An archive's names and texts for people and for this system: converted from the
// archive's code page to UTF-8, with '/' between the parts of a name.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "reader/archive_reader.hpp"
#include "tool/common/code_page.hpp"

namespace quorvel::tool {

class NameText {
public:
    // Throws ToolError when the system cannot convert from the code page.
    explicit NameText(int codePage);

    int CodePage() const { return codePage_; }
    // From now on the names are read in this code page. Throws ToolError, as the constructor.
    void UseCodePage(int codePage);
    // A stored name shown: UTF-8, '/' between parts, U+FFFD for bytes that mean nothing in
    // the code page.
    std::string Shown(std::string_view storedName);
    // An entry's name shown; a folder's ends in '/'.
    std::string Shown(const reader::Entry& entry);
    // A header text (comment, run command) shown as it is, in UTF-8.
    std::string ShownText(std::string_view text);
    // The parts of a stored name in UTF-8, as the file system takes them; nothing when a
    // part means nothing in the code page.
    std::optional<std::vector<std::string>> SystemParts(std::string_view storedName);

private:
    int codePage_;
    std::unique_ptr<Utf8Converter> converter_;
};

// Text for a terminal: control characters (C0 and C1) and bytes that are no valid UTF-8
// written as \xNN, so that a name can neither move the cursor or change colours nor put raw
// bytes on the terminal.
std::string Printable(std::string_view text);

}  // namespace quorvel::tool
