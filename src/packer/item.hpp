// One item of a file entry's compressed data: a literal byte or a match.
#pragma once

#include <cstdint>

namespace quorvel {

struct Item {
    std::uint16_t MatchLength = 0;  // 0 for a literal
    std::uint16_t MatchDistance = 0;
    std::uint8_t Literal = 0;

    bool IsLiteral() const { return MatchLength == 0; }
    // Bytes the item produces.
    std::uint32_t Size() const { return IsLiteral() ? 1 : MatchLength; }
};

inline Item LiteralItem(std::uint8_t byte) {
    return Item{0, 0, byte};
}

// Length 2..4352, distance 1..8192: the ranges the format can express; throws otherwise.
Item MatchItem(std::uint32_t length, std::uint32_t distance);

}  // namespace quorvel
