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

#include <atomic>
#include <cstdint>
#include <exception>
#include <thread>
#include <vector>

#include "packer/binary_tree_matcher.hpp"
#include "packer/joined_bytes.hpp"
#include "packer/match.hpp"

namespace quorvel::packer {

class MatchesAhead {
public:
    // Starts searching bytes[start, end) with a matcher of its own, bytes[0, start) being
    // the window's preset; depth and niceLength as for BinaryTreeMatcher.
    MatchesAhead(const JoinedBytes& bytes, std::size_t start, std::uint32_t depth, std::uint32_t niceLength);
    // Stops the search wherever it is.
    ~MatchesAhead();
    MatchesAhead(const MatchesAhead&) = delete;
    MatchesAhead& operator=(const MatchesAhead&) = delete;

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
        __builtin_prefetch(&record + kPrefetchRecords);
        __builtin_prefetch(matches + kPrefetchMatches);
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

    void Search(JoinedBytes bytes, std::size_t start, std::uint32_t depth, std::uint32_t niceLength);
    // Hands over the chunk being filled; false when the parse has gone.
    bool Publish();
    void NextChunk();
    [[noreturn]] void PositionMissed(std::size_t position) const;

    static constexpr std::size_t kChunks = 8;
    static constexpr std::size_t kPrefetchRecords = 16;
    static constexpr std::size_t kPrefetchMatches = 32;
    // Added to published_ when the search has ended, well or not.
    static constexpr std::size_t kSearchEnded = std::size_t{1} << 48;
    Chunk chunks_[kChunks];
    // Chunks handed over, and chunks the parse is done with, since the start. Each side waits
    // on the other's count, so a hand-over costs a system call only when the other side sleeps.
    std::atomic<std::size_t> published_ = 0;
    std::atomic<std::size_t> released_ = 0;
    std::atomic<bool> parseGone_ = false;
    std::exception_ptr failure_;  // set before the search's end is published

    // The parse's side: the chunk it reads (none at first) and its next record there.
    static const Chunk kNoChunk;
    const Chunk* current_ = &kNoChunk;
    std::size_t next_ = 0;
    std::size_t nextMatch_ = 0;

    std::thread searcher_;  // last: it starts once the rest is ready
};

}  // namespace quorvel::packer
