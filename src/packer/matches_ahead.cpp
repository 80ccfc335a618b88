#include "packer/matches_ahead.hpp"

#include <stdexcept>
#include <string>

namespace quorvel::packer {
namespace {

// A chunk ends at whichever comes first: so many positions, so many matches, or a stretch
// of bytes this long (long matches cover many bytes with one position).
constexpr std::size_t kChunkRecords = std::size_t{1} << 14;
constexpr std::size_t kChunkMatches = std::size_t{1} << 16;
constexpr std::size_t kChunkReach = std::size_t{1} << 18;

}  // namespace

const MatchesAhead::Chunk MatchesAhead::kNoChunk;

MatchesAhead::MatchesAhead(const JoinedBytes& bytes, std::size_t start, std::uint32_t depth,
                           std::uint32_t niceLength)
    : searcher_([this, bytes, start, depth, niceLength] { Search(bytes, start, depth, niceLength); }) {}

MatchesAhead::~MatchesAhead() {
    parseGone_.store(true);
    // Wakes a search waiting for room.
    released_.fetch_add(1);
    released_.notify_one();
    searcher_.join();
}

void MatchesAhead::Search(JoinedBytes bytes, std::size_t start, std::uint32_t depth, std::uint32_t niceLength) {
    try {
        BinaryTreeMatcher matcher;
        matcher.Start(bytes, depth, niceLength);
        for (std::size_t position = 0; position < start; ++position) matcher.Skip(position);
        for (Chunk& chunk : chunks_) chunk.matches.resize(kChunkMatches + niceLength);
        std::size_t position = start;
        while (position < bytes.size()) {
            // published_ is only changed here.
            Chunk& chunk = chunks_[published_.load(std::memory_order_relaxed) % kChunks];
            chunk.records.clear();
            std::uint32_t used = 0;
            const std::size_t reachEnd = position + kChunkReach;
            while (position < bytes.size() && position < reachEnd && chunk.records.size() < kChunkRecords &&
                   used + niceLength <= kChunkMatches) {
                Match* found = chunk.matches.data() + used;
                const auto count = static_cast<std::uint32_t>(matcher.Find(position, found));
                chunk.records.push_back({static_cast<std::uint32_t>(position), count});
                used += count;
                if (count > 0 && found[count - 1].length >= niceLength) {
                    const std::uint32_t distance = found[count - 1].distance;
                    const std::uint32_t length = FullMatchLength(bytes, position, distance, niceLength);
                    matcher.SkipCovered(position, length, distance);
                    position += length;
                } else {
                    ++position;
                }
            }
            if (!Publish()) return;
        }
    } catch (...) {
        failure_ = std::current_exception();
    }
    published_.fetch_add(kSearchEnded, std::memory_order_release);
    published_.notify_one();
}

bool MatchesAhead::Publish() {
    const std::size_t published = published_.fetch_add(1, std::memory_order_release) + 1;
    published_.notify_one();
    // Waits until the chunk to be filled next is free.
    for (;;) {
        const std::size_t released = released_.load(std::memory_order_acquire);
        if (parseGone_.load(std::memory_order_relaxed)) return false;
        if (published - released < kChunks) return true;
        released_.wait(released, std::memory_order_acquire);
    }
}

void MatchesAhead::NextChunk() {
    std::size_t released = released_.load(std::memory_order_relaxed);
    // The first call holds no chunk yet.
    if (next_ != 0) {
        released_.store(++released, std::memory_order_release);
        released_.notify_one();
    }
    for (;;) {
        const std::size_t published = published_.load(std::memory_order_acquire);
        if (published % kSearchEnded > released) break;
        if (published >= kSearchEnded) {
            if (failure_) std::rethrow_exception(failure_);
            throw std::logic_error("the match search ended before the parse");
        }
        published_.wait(published, std::memory_order_acquire);
    }
    current_ = &chunks_[released % kChunks];
    next_ = 0;
    nextMatch_ = 0;
}

void MatchesAhead::PositionMissed(std::size_t position) const {
    throw std::logic_error("the parse asked for the matches at " + std::to_string(position) +
                           ", out of the turn the search took");
}

}  // namespace quorvel::packer
