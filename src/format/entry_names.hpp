// Names an archive may not use: those that could reach outside the folder extracted into.
#pragma once

namespace quorvel::format {

namespace entry_names {

inline bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// A component of periods and blanks only, with two periods or more, names a folder above.
inline bool IsParentLike(const char* start, const char* end) {
    int periods = 0;
    for (const char* at = start; at != end; ++at) {
        if (*at == '.') {
            ++periods;
        } else if (*at != ' ') {
            return false;
        }
    }
    return periods >= 2;
}

}  // namespace entry_names

// A name that starts with a backslash or a slash, holds a colon (drives, alternate
// streams), or has a component of periods and blanks only with at least two periods.
// `nextChar` steps over one character of the name's code page, so that a trail byte is
// never taken for a separator.
template <typename NextChar>
bool IsUnsafeName(const char* name, NextChar nextChar) {
    using entry_names::IsSeparator;
    if (IsSeparator(*name)) return true;
    const char* componentStart = name;
    for (const char* at = name;; at = nextChar(at)) {
        if (*at == ':') return true;
        if (*at == 0 || IsSeparator(*at)) {
            if (entry_names::IsParentLike(componentStart, at)) return true;
            if (*at == 0) return false;
            componentStart = at + 1;
        }
    }
}

}  // namespace quorvel::format
