// Turns data into items, matching up to 8192 bytes back, into the preset window too. Low
// efforts take the longest match on hash chains, with lazy matching from effort 3; higher
// ones choose by price in bits under the adaptive trees' codes (price_parse.hpp), searching
// deeper as effort rises; effort 9 prices twice, the second time from the first one's shares.
//
// Each thread keeps one set of match finder tables and parse arrays for all the inputs it
// parses, so that a file or a trial costs no allocation and no clearing of its own.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "packer/compress_progress.hpp"
#include "packer/item.hpp"
#include "packer/item_encoder.hpp"

namespace quorvel::packer {

constexpr int kMinEffort = 1;
constexpr int kMaxEffort = 9;

// Hands `sink` the items, in order, that produce `data` when the window already holds
// `preset` (at most its last 8192 bytes are reachable). Effort 1..9 trades speed for size.
void FindItemsInto(std::span<const std::uint8_t> preset, std::span<const std::uint8_t> data, int effort,
                   ItemSink& sink);
// The same items, kept.
std::vector<Item> FindItems(std::span<const std::uint8_t> preset, std::span<const std::uint8_t> data,
                            int effort);
// The same items, written to `encoder`, telling the hooks how far it has come. With
// `twoThreads`, a second thread parses half of the rough pass and searches the priced
// parses' matches ahead of them, or runs the quick parse ahead of the encoding.
void FindItems(std::span<const std::uint8_t> preset, std::span<const std::uint8_t> data, int effort,
               ItemEncoder& encoder, const CompressHooks& hooks = {}, bool twoThreads = false);

}  // namespace quorvel::packer
