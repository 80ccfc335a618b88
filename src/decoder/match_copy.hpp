// Copying a match inside the window, byte for byte as if each byte were read just before
// it is stored, but a word at a time where the distance allows it.
#pragma once

#include <cstdint>
#include <cstring>

namespace quorvel::decoder {

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORVEL_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define QUORVEL_ADDRESS_SANITIZER 1
#endif

// Copies 16 bytes. Under AddressSanitizer a 16-byte memcpy becomes a call to its checking
// memcpy, most of the fuzzers' time: two words are checked in line instead.
inline void Copy16(std::uint8_t* to, const std::uint8_t* from) {
#ifdef QUORVEL_ADDRESS_SANITIZER
    std::uint64_t low, high;
    std::memcpy(&low, from, 8);
    std::memcpy(&high, from + 8, 8);
    std::memcpy(to, &low, 8);
    std::memcpy(to + 8, &high, 8);
#else
    std::memcpy(to, from, 16);
#endif
}

// Copies `length` bytes to `to` from `distance` bytes before it. May store up to 15 bytes
// past the end (they are overwritten before they are ever read) and read as far. Distance
// and length are at least 1.
inline void CopyMatch(std::uint8_t* to, std::uint32_t distance, std::uint32_t length) {
    const std::uint8_t* from = to - distance;
    std::uint8_t* end = to + length;
    if (distance == 1) {
        // A run of one byte: stored a word at a time, without reading back what was stored.
        const std::uint64_t word = 0x0101010101010101u * *from;
        do {
            std::memcpy(to, &word, 8);
            to += 8;
        } while (to < end);
        return;
    }
    // A match closer than a word repeats a period of `distance` bytes. Each byte equals the
    // one any number of periods before it, so once the period has been written out twice
    // it can be copied from twice as far back: doubled until it spans a word, the rest is
    // copied a word at a time. (`from` stays: it is one doubled period behind.)
    if (distance < 8) {
        do {
            for (std::uint32_t i = 0; i < distance; ++i) to[i] = from[i];
            to += distance;
            distance *= 2;
        } while (distance < 8);
        if (to >= end) return;
    }
    if (distance >= 16) {
        do {
            Copy16(to, from);
            from += 16;
            to += 16;
        } while (to < end);
    } else {
        do {
            std::uint64_t word;
            std::memcpy(&word, from, 8);
            std::memcpy(to, &word, 8);
            from += 8;
            to += 8;
        } while (to < end);
    }
}

}  // namespace quorvel::decoder
