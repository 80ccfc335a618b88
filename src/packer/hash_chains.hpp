// Hash chains over three-byte keys: the longest match for a position among the earlier
// positions up to 8192 back, trying a bounded number of them.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "packer/match.hpp"

namespace quorvel {

class HashChains {
public:
    // chainDepth: earlier positions tried per search; niceLength: a match this long ends it.
    HashChains(std::span<const std::uint8_t> bytes, std::uint32_t chainDepth, std::uint32_t niceLength);

    // Makes every position before `end` findable.
    void InsertUpTo(std::size_t end);
    // The longest match for `position` among inserted positions; the nearest wins among
    // equal lengths. Length 0 when there is none of three bytes or more.
    Match Longest(std::size_t position) const;

private:
    std::uint32_t HashAt(std::size_t position) const;

    std::span<const std::uint8_t> bytes_;
    std::uint32_t chainDepth_;
    std::uint32_t niceLength_;
    std::uint32_t hashShift_;
    std::vector<std::int32_t> head_;
    std::vector<std::int32_t> previous_;
    std::size_t inserted_ = 0;
};

}  // namespace quorvel
