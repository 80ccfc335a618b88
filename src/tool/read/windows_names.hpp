// Names in an archive behind the Windows Expander that Windows cannot create as stored,
// gathered while the archive is read and told as warnings at the end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "reader/archive_reader.hpp"
#include "tool/common/name_text.hpp"
#include "tool/tool_namespace.hpp"

namespace quorvel::tool {

class WindowsNameCheck {
public:
    // Checks nothing unless the Expander in front is a Windows one.
    explicit WindowsNameCheck(StubKind stub);

    void Add(const reader::Entry& entry);
    // One warning per problem, names in UTF-8.
    std::vector<std::string> Warnings(NameText& names) const;

private:
    bool active_;
    bool overflowed_ = false;
    std::uint64_t bytes_ = 0;
    std::vector<std::string> storedNames_;  // folders end in "\."
};

}  // namespace quorvel::tool
