// A growing, zero-terminated byte string for names, the run command and the password:
// the only storage of a run whose size the archive or the user decides.
#pragma once

#include <cstdint>

namespace quorvel::expander {

struct Text {
    char* bytes;
    std::uint32_t length;
    std::uint32_t capacity;

    std::uint32_t Length() const { return length; }
    void Append(char byte);
    void Clear();
    // Keeps the first n bytes (n at most the length).
    void Truncate(std::uint32_t n);
    // Always zero-terminated, also when empty.
    const char* CStr() const { return bytes != nullptr ? bytes : ""; }
};

}  // namespace quorvel::expander
