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
    : running_(chunks_.StartFilling(
          [this, bytes, start, depth, niceLength] { Search(bytes, start, depth, niceLength); })) {}

void MatchesAhead::Search(JoinedBytes bytes, std::size_t start, std::uint32_t depth, std::uint32_t niceLength) {
    BinaryTreeMatcher matcher;
    matcher.Start(bytes, depth, niceLength);
    for (std::size_t position = 0; position < start; ++position) matcher.Skip(position);
    std::size_t position = start;
    while (position < bytes.size()) {
        Chunk& chunk = chunks_.Filling();
        chunk.records.clear();
        chunk.matches.resize(kChunkMatches + niceLength);
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
        if (!chunks_.Publish()) return;
    }
}

void MatchesAhead::PositionMissed(std::size_t position) {
    throw std::logic_error("the parse asked for the matches at " + std::to_string(position) +
                           ", out of the turn the search took");
}

}  // namespace quorvel::packer
