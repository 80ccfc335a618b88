// One item of a file entry's compressed data: a literal byte or a match; and where the
// parses hand the items they choose.
#pragma once

#include <cstdint>

#include "format/item_format.hpp"
#include "packer/packer_namespace.hpp"

namespace quorvel::packer {

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

// Throws std::invalid_argument for a match of this length, or else of its distance, outside
// the format's ranges.
[[noreturn]] void RefuseMatch(std::uint32_t length);

// Length 2..4352, distance 1..8192: the ranges the format can express; throws otherwise.
inline Item MatchItem(std::uint32_t length, std::uint32_t distance) {
    // One unsigned comparison per range: values below its start wrap round to large ones.
    if (length - kMinMatchLength > kMaxMatchLength - kMinMatchLength || distance - 1 > kMaxDistance - 1) [[unlikely]]
        RefuseMatch(length);
    return Item{static_cast<std::uint16_t>(length), static_cast<std::uint16_t>(distance), 0};
}

// Receives the items of a parse in order, as they are chosen, so that no parse needs to
// keep a whole file's items.
class ItemSink {
public:
    // Whether more items are wanted. The lazy parse stops at the first refusal: a trial
    // that can no longer win need not be finished.
    virtual bool Take(const Item& item) = 0;

protected:
    ~ItemSink() = default;
};

}  // namespace quorvel::packer
