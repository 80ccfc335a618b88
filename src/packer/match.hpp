// A match candidate as the match finders report it, and the common length of two runs.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace quorvel::packer {

struct Match {
    std::uint32_t length = 0;
    std::uint32_t distance = 0;
};

// How many bytes at `a` and `b` agree, counting from `from` (known to agree) up to `limit`.
inline std::uint32_t CommonLength(const std::uint8_t* a, const std::uint8_t* b, std::uint32_t from,
                                  std::uint32_t limit) {
    std::uint32_t length = from;
    while (length + 8 <= limit) {
        std::uint64_t x, y;
        std::memcpy(&x, a + length, 8);
        std::memcpy(&y, b + length, 8);
        if (x != y) return length + static_cast<std::uint32_t>(std::countr_zero(x ^ y)) / 8;
        length += 8;
    }
    while (length < limit && a[length] == b[length]) ++length;
    return length;
}

}  // namespace quorvel::packer
