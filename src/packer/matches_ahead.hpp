// The price-based parse's match search, run on a thread of its own ahead of the parse.
//
// Which positions the parse searches does not depend on its prices: it searches every
// position in order, except those inside a match of the nice length, which it takes at
// once. So a second thread can walk the binary trees through the whole input while the
// parse prices and encodes, and hand it each position's matches, exactly those the parse
// would have found itself. A large file then keeps two cores busy, and its items are the
// same whichever thread searched.
//
// The searched matches wait in a few chunks, each reaching at most kChunkReach bytes, so
// the search runs at most a few MB ahead of the parse, and of the bytes it reads.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "packer/binary_tree_matcher.hpp"
#include "packer/chunk_hand_off.hpp"
#include "packer/joined_bytes.hpp"
#include "packer/match.hpp"

namespace quorvel::packer {

class MatchesAhead {
public:
    // Starts searching bytes[start, end) with a matcher of its own, bytes[0, start) being
    // the window's preset; depth and niceLength as for BinaryTreeMatcher.
    MatchesAhead(const JoinedBytes& bytes, std::size_t start, std::uint32_t depth, std::uint32_t niceLength);
    // False when no thread could be started (a limit on threads): the parse then searches
    // on its own.
    bool Running() const { return running_; }

    // The matches for `position`, which must be the next position the search found matches
    // for: points `matches` at them (valid until the next call) and returns how many. Throws
    // what the search threw.
    std::size_t Find(std::size_t position, const Match*& matches) {
        if (next_ == current_->records.size()) NextChunk();
        const Record& record = current_->records[next_++];
        if (record.position != static_cast<std::uint32_t>(position)) PositionMissed(position);
        matches = current_->matches.data() + nextMatch_;
        nextMatch_ += record.matchCount;
        // The search wrote these on another core: asking for them early hides the transfer.
        __builtin_prefetch(current_->records.data() + std::min(next_ + kPrefetchRecords, current_->records.size()));
        __builtin_prefetch(current_->matches.data() +
                           std::min(nextMatch_ + kPrefetchMatches, current_->matches.size()));
        return record.matchCount;
    }

private:
    // A position's matches follow those of the record before it.
    struct Record {
        std::uint32_t position;  // its low 32 bits, which tell a position out of turn
        std::uint32_t matchCount;
    };
    struct Chunk {
        std::vector<Record> records;
        std::vector<Match> matches;
    };
    static constexpr std::size_t kPrefetchRecords = 16;
    static constexpr std::size_t kPrefetchMatches = 32;

    void Search(JoinedBytes bytes, std::size_t start, std::uint32_t depth, std::uint32_t niceLength);
    void NextChunk() {
        current_ = &chunks_.Next();
        next_ = 0;
        nextMatch_ = 0;
    }
    [[noreturn]] static void PositionMissed(std::size_t position);

    ChunkHandOff<Chunk, 8> chunks_;  // stops the search wherever it is when it goes
    bool running_;
    // The parse's side: the chunk it reads (none at first) and its next record there.
    static const Chunk kNoChunk;
    const Chunk* current_ = &kNoChunk;
    std::size_t next_ = 0;
    std::size_t nextMatch_ = 0;
};

}  // namespace quorvel::packer
