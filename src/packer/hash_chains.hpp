// Hash chains over three-byte keys: the longest match for a position among the earlier
// positions up to 8192 back, trying a bounded number of them.
//
// The tables are made once and serve input after input: positions are stored counted from
// a base that moves past each input's end by more than the reach, so that whatever an
// earlier input left in them lies out of reach, as an empty entry would, and nothing needs
// clearing between inputs.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "packer/joined_bytes.hpp"
#include "packer/match.hpp"

namespace quorvel::packer {

class HashChains {
public:
    HashChains();

    // Starts over on new bytes: nothing of earlier ones can be found. chainDepth: earlier
    // positions tried per search; niceLength: a match this long ends it.
    void Start(const JoinedBytes& bytes, std::uint32_t chainDepth, std::uint32_t niceLength);
    // Makes every position before `end` findable.
    void InsertUpTo(std::size_t end);
    // No position from `position` on will search the positions before it: those are never
    // inserted.
    void SkipTo(std::size_t position) { inserted_ = std::max(inserted_, position); }
    // The longest match for `position` among inserted positions; the nearest wins among
    // equal lengths. Length 0 when there is none of three bytes or more.
    Match Longest(std::size_t position) const;

private:
    JoinedBytes bytes_;
    std::uint32_t chainDepth_ = 0;
    std::uint32_t niceLength_ = 0;
    std::uint32_t hashShift_ = 0;
    std::vector<std::int32_t> head_;      // the newest position of each hash
    std::vector<std::int32_t> previous_;  // by position, round the ring: the one before with its hash
    std::int32_t base_ = 0;               // the stored number of bytes_[0]
    std::size_t hashable_ = 0;            // positions with three bytes from them
    std::size_t inserted_ = 0;
};

}  // namespace quorvel::packer
