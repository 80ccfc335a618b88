// The quick parse: the longest match found on hash chains, or a literal; with lazy
// matching, a match waits while the next byte starts a longer one.
#pragma once

#include <cstdint>
#include <span>

#include "packer/compress_progress.hpp"
#include "packer/hash_chains.hpp"
#include "packer/item.hpp"

namespace quorvel::packer {

struct LazyRules {
    std::uint32_t chainDepth;  // earlier positions tried per search
    std::uint32_t niceLength;  // a match this long ends the search
    bool lazy;                 // try the next position before taking a match
};

// Hands `sink` the items for bytes[start, end) when bytes[0, start) is already in the
// window, searching with `chains`, which start over on these bytes.
void ParseLazily(const JoinedBytes& bytes, std::size_t start, const LazyRules& rules, HashChains& chains,
                 ItemSink& sink, PassProgress progress = {});

}  // namespace quorvel::packer
