// The ANSI code pages names may be stored in: 1252, and the double-byte pages 932, 936, 949
// and 950, whose lead bytes start a two-byte character.
#pragma once

namespace quorvel::format {

constexpr bool IsLeadByte(unsigned char byte, unsigned codePage) {
    switch (codePage) {
        case 932: return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
        case 936:
        case 949:
        case 950: return byte >= 0x81 && byte <= 0xFE;
        default: return false;
    }
}

// The start of the character after the one at text: two bytes for a lead byte followed by
// another byte; the same position at the terminating zero.
constexpr const char* NextCharIn(const char* text, unsigned codePage) {
    if (*text == 0) return text;
    if (IsLeadByte(static_cast<unsigned char>(*text), codePage) && text[1] != 0) return text + 2;
    return text + 1;
}

}  // namespace quorvel::format
