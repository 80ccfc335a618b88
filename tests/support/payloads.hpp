// Payloads of exact sizes for tests of the container: runs of folder entries, which make
// one folder and print nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorvel::test {

// A valid entry stream of exactly n bytes (n >= 4): folder entries "FF...F\." of at most
// 200 bytes each (one or two folder names).
inline std::vector<std::uint8_t> FolderEntries(std::size_t n) {
    std::vector<std::uint8_t> out;
    while (n > 0) {
        std::size_t entry = n > 203 ? 200 : n;
        for (std::size_t i = 0; i + 3 < entry; ++i) out.push_back('F');
        out.push_back('\\');
        out.push_back('.');
        out.push_back(0);
        n -= entry;
    }
    return out;
}

}  // namespace quorvel::test
