// The parts of a stored name as the Expander makes them: separated by a backslash (or a
// slash, which a POSIX system takes as one) at the start of a character, so that the trail
// byte 0x5C of a double-byte character never splits a name.
#pragma once

#include <string_view>
#include <vector>

#include "format/code_pages.hpp"
#include "reader/reader_namespace.hpp"

namespace quorvel::reader {

inline bool IsNameSeparator(char c) { return c == '\\' || c == '/'; }

// Every part, empty ones and "." included: "a\\b\\" gives "a", "b" and "".
inline std::vector<std::string_view> NameParts(std::string_view name, unsigned codePage) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t at = 0; at < name.size();) {
        if (IsNameSeparator(name[at])) {
            parts.push_back(name.substr(start, at - start));
            start = ++at;
        } else {
            at += IsLeadByte(static_cast<unsigned char>(name[at]), codePage) && at + 1 < name.size() ? 2 : 1;
        }
    }
    parts.push_back(name.substr(start));
    return parts;
}

}  // namespace quorvel::reader
