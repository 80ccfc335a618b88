// Turns data into items: greedy-with-lookahead LZ77 over hash chains, matching up to 8192
// bytes back, into the preset window too.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "packer/item.hpp"

namespace quorvel {

constexpr int kMinEffort = 1;
constexpr int kMaxEffort = 9;

// Items that produce `data` when the window already holds `preset` (at most its last 8192
// bytes are reachable). Effort 1..9 trades speed for size: it sets how many earlier
// positions are tried and whether a match waits for a longer one at the next byte.
std::vector<Item> FindItems(std::span<const std::uint8_t> preset, std::span<const std::uint8_t> data,
                            int effort);

}  // namespace quorvel
