// The price-based parse: chooses literals and matches by what they cost in bits (see
// item_prices.hpp). It works forward in segments: in each, the cheapest way to reach every
// position is found from all the matches at every earlier position; the cheapest path is
// then written, which counts it into the encoder's adaptive trees; they rebuild as the
// decoder's will, and the next segment is priced with the codes that result.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "packer/binary_tree_matcher.hpp"
#include "packer/compress_progress.hpp"
#include "packer/item.hpp"
#include "packer/item_encoder.hpp"
#include "packer/item_prices.hpp"

namespace quorvel::packer {

struct PriceRules {
    std::uint32_t treeDepth;   // tree nodes visited per position
    std::uint32_t niceLength;  // a match this long is taken at once
    std::uint32_t segment;     // positions priced together at most
    std::uint32_t passes;      // priced parses, each the rough one of the next
};

// The parse's match finder and arrays, kept from one input to the next.
struct PriceParseSpace {
    BinaryTreeMatcher matcher;
    // By position in the segment: the cheapest known price from the segment's start, and
    // the item that ends there (its length, 1 for a literal, and its distance << 16).
    std::vector<std::uint32_t> price;
    std::vector<std::uint32_t> step;
    std::vector<Match> matches;  // room for one position's matches
    std::vector<Item> path;
};

// The matches a priced pass found, position by position, for a later pass over the same
// bytes with the same rules. Which positions a pass searches, and what it finds there,
// depend on the bytes alone (see matches_ahead.hpp), so the later pass can read them here
// instead of searching again. It holds a limited number; a pass that finds more leaves it
// unfilled, and the later pass searches.
class MatchRecord {
public:
    bool Filled() const { return filled_; }

    // While a pass fills it: the matches found at `position`.
    void Add(std::size_t position, const Match* matches, std::size_t count);
    // The pass has searched its last position.
    void Finish() { filled_ = !overflowed_; }

    // The matches for `position`, which must be the next one the filling pass searched:
    // points `matches` at them and returns how many.
    std::size_t Read(std::size_t position, const Match*& matches);

private:
    struct Record {
        std::uint32_t position;  // its low 32 bits, which tell a position out of turn
        std::uint32_t matchCount;
    };
    std::vector<Record> records_;
    std::vector<Match> matches_;
    bool overflowed_ = false;
    bool filled_ = false;
    std::size_t next_ = 0;
    std::size_t nextMatch_ = 0;
};

// Items for bytes[start, end) when bytes[0, start) is already in the window, each written
// to `encoder` as it is chosen, whose codes price the next, and handed to `chosen` too
// when there is one; roughParse counts the symbols of a quicker parse of the same bytes,
// whose shares seed the prices. With `twoThreads`, the matches are searched on a thread of
// their own (matches_ahead.hpp); the items are the same. A `record` already filled by a
// pass over the same bytes and rules gives the matches instead of a search; an empty one
// is filled.
void ParseByPrice(const JoinedBytes& bytes, std::size_t start, const PriceRules& rules,
                  const SymbolTally& roughParse, ItemEncoder& encoder, ItemSink* chosen, PriceParseSpace& space,
                  PassProgress progress = {}, bool twoThreads = false, MatchRecord* record = nullptr);

}  // namespace quorvel::packer
