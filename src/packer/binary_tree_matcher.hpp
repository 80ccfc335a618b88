// Binary trees of the positions in the window, one tree per three-byte hash: each search
// walks from the newest position towards older ones and reports every match longer than
// the ones before it, so the price-based parse can weigh all lengths, each at the nearest
// distance that gives it. The walk also inserts the position, re-linking the tree around
// it, so every position is searched or skipped exactly once, in order.
//
// The tables are made once and serve input after input, as those of HashChains do:
// positions are stored counted from a base that moves past each input's end by more than
// the reach, so nothing an earlier input left can be reached and nothing needs clearing.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "packer/joined_bytes.hpp"
#include "packer/match.hpp"

namespace quorvel::packer {

// How far the match at `distance` from `position` goes, known to agree on its first `known`
// bytes, up to the longest a match may be.
std::uint32_t FullMatchLength(const JoinedBytes& bytes, std::size_t position, std::uint32_t distance,
                              std::uint32_t known);

class BinaryTreeMatcher {
public:
    BinaryTreeMatcher();
    BinaryTreeMatcher(std::span<const std::uint8_t> bytes, std::uint32_t depth, std::uint32_t niceLength)
        : BinaryTreeMatcher() {
        Start(JoinedBytes(bytes), depth, niceLength);
    }

    // Starts over on new bytes. depth: tree nodes visited per position at most;
    // niceLength: reported lengths stop there, and a match of that length ends the walk.
    void Start(const JoinedBytes& bytes, std::uint32_t depth, std::uint32_t niceLength);

    // Writes the matches for `position` to `out` (room for niceLength entries), shortest
    // first, each longer than the one before and at the nearest distance found for its
    // length; returns how many. `position` must be the next one not yet searched or skipped.
    std::size_t Find(std::size_t position, Match* out);
    // Inserts `position` without reporting its matches.
    void Skip(std::size_t position);
    // Inserts the positions after `position` that a match found there covers, as Skip would
    // one by one; `position` must be the last one searched.
    void SkipCovered(std::size_t position, std::uint32_t length, std::uint32_t distance);

private:
    std::uint32_t Numbered(std::size_t position) const {
        return static_cast<std::uint32_t>(base_) + static_cast<std::uint32_t>(position);
    }
    template <bool kReport>
    std::size_t Walk(std::size_t position, Match* out);

    JoinedBytes bytes_;
    std::uint32_t depth_ = 0;
    std::uint32_t niceLength_ = 0;
    std::int32_t base_ = 0;                  // the stored number of bytes_[0]
    std::vector<std::int32_t> treeRoot_;     // by hash of three bytes: the newest position
    std::vector<std::int32_t> newestPair_;   // by the two bytes themselves
    std::vector<std::int32_t> children_;     // smaller and larger subtree of each window slot
    // The first comparison of the last walk: the position walked, the candidate's distance
    // and the bytes they share.
    std::uint32_t lastSelf_ = 0;
    std::uint32_t lastFirstDistance_ = 0;
    std::uint32_t lastFirstLength_ = 0;
};

}  // namespace quorvel::packer
