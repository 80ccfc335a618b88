// Copying a match inside the window, byte for byte as if each byte were read just before
// it is stored, but a word at a time where the distance allows it.
#pragma once

#include <cstdint>
#include <cstring>

namespace quorvel::decoder {

// Copies `length` bytes to `to` from `distance` bytes before it. May store up to 15 bytes
// past the end (they are overwritten before they are ever read) and read as far.
inline void CopyMatch(std::uint8_t* to, std::uint32_t distance, std::uint32_t length) {
    const std::uint8_t* from = to - distance;
    std::uint8_t* end = to + length;
    if (distance >= 16) {
        do {
            std::memcpy(to, from, 16);
            from += 16;
            to += 16;
        } while (to < end);
    } else if (distance >= 8) {
        do {
            std::uint64_t word;
            std::memcpy(&word, from, 8);
            std::memcpy(to, &word, 8);
            from += 8;
            to += 8;
        } while (to < end);
    } else if (distance == 1) {
        const std::uint64_t word = 0x0101010101010101u * *from;
        do {
            std::memcpy(to, &word, 8);
            to += 8;
        } while (to < end);
    } else {
        do *to++ = *from++;
        while (to < end);
    }
}

}  // namespace quorvel::decoder
