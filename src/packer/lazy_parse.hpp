// The quick parse: the longest match found on hash chains, or a literal; with lazy
// matching, a match waits while the next byte starts a longer one.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "packer/compress_progress.hpp"
#include "packer/item.hpp"

namespace quorvel {

struct LazyRules {
    std::uint32_t chainDepth;  // earlier positions tried per search
    std::uint32_t niceLength;  // a match this long ends the search
    bool lazy;                 // try the next position before taking a match
};

// Items for bytes[start, end) when bytes[0, start) is already in the window.
std::vector<Item> ParseLazily(std::span<const std::uint8_t> bytes, std::size_t start, const LazyRules& rules,
                              PassProgress progress = {});

}  // namespace quorvel
