// The symbols of the quick parse of a whole input, which seed the priced parse's prices;
// for a large input counted on two threads, each parsing one half.
//
// The quick parse's items from a position on depend only on that position: a search there
// sees the positions up to 8192 back and no state of the parse. So the second half can be
// parsed from the middle while the first half is parsed from the start; once the first
// half's parse starts an item where the second's also did, both go on alike from there, and
// the counts of the first up to that item and of the second from it are those of one parse
// of the whole. Where the two meet within a short stretch (nearly always, within a few
// items) the first thread stops there; otherwise it parses on alone.
#pragma once

#include <cstdint>

#include "packer/compress_progress.hpp"
#include "packer/hash_chains.hpp"
#include "packer/item_prices.hpp"
#include "packer/joined_bytes.hpp"
#include "packer/lazy_parse.hpp"

namespace quorvel::packer {

// How far beyond the middle the first half's parse may go to meet the second's.
constexpr std::size_t kHalvesMeetWithin = std::size_t{1} << 16;

// What ParseLazily with these rules and `chains` counts over bytes[start, end); with
// `twoThreads`, the second half is parsed on a thread and chains of its own, told to
// `progress` as passed only.
SymbolTally TallyQuickParse(const JoinedBytes& bytes, std::size_t start, const LazyRules& rules, HashChains& chains,
                            bool twoThreads, PassProgress progress = {},
                            std::size_t meetWithin = kHalvesMeetWithin);

}  // namespace quorvel::packer
