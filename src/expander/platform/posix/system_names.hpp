// Names as the POSIX file system takes them: backslashes turned into slashes, and, under a
// UTF-8 locale, the ANSI code page bytes converted to UTF-8.
#pragma once

#include <cstddef>

namespace quorvel::expander::posix {

constexpr std::size_t kSystemNameSize = 4096;

// Converts an ANSI name for the file system; false when it is longer than a file object
// holds or cannot be converted.
bool ToSystemName(const char* name, char (&out)[kSystemNameSize]);

}  // namespace quorvel::expander::posix
