#include "packer/hash_chains.hpp"

#include <algorithm>

#include "format/item_format.hpp"
#include "decoder/sliding_window.hpp"

namespace quorvel {
namespace {

// Heads for about two positions each, at most 2^16: a small input clears a small table.
std::uint32_t HashBitsFor(std::size_t size) {
    std::uint32_t bits = 10;
    while (bits < 16 && (std::size_t{1} << bits) < size / 2) ++bits;
    return bits;
}
constexpr std::uint32_t kHashedBytes = 3;
constexpr std::int32_t kNoPosition = -1;

}  // namespace

HashChains::HashChains(std::span<const std::uint8_t> bytes, std::uint32_t chainDepth, std::uint32_t niceLength)
    : bytes_(bytes),
      chainDepth_(chainDepth),
      niceLength_(niceLength),
      hashShift_(32 - HashBitsFor(bytes.size())),
      head_(std::size_t{1} << (32 - hashShift_), kNoPosition),
      previous_(bytes.size()) {}

std::uint32_t HashChains::HashAt(std::size_t position) const {
    std::uint32_t key = bytes_[position] | bytes_[position + 1] << 8 | bytes_[position + 2] << 16;
    return (key * 2654435761u) >> hashShift_;
}

void HashChains::InsertUpTo(std::size_t end) {
    std::size_t hashable = bytes_.size() >= kHashedBytes ? bytes_.size() - kHashedBytes + 1 : 0;
    for (end = std::min(end, hashable); inserted_ < end; ++inserted_) {
        std::int32_t& head = head_[HashAt(inserted_)];
        previous_[inserted_] = head;
        head = static_cast<std::int32_t>(inserted_);
    }
}

Match HashChains::Longest(std::size_t position) const {
    Match best;
    const auto limit = static_cast<std::uint32_t>(std::min<std::size_t>(kMaxMatchLength, bytes_.size() - position));
    if (limit < kHashedBytes) return best;
    const std::uint8_t* here = bytes_.data() + position;
    std::int32_t candidate = head_[HashAt(position)];
    for (std::uint32_t tries = chainDepth_; candidate != kNoPosition && tries > 0; --tries) {
        std::size_t distance = position - static_cast<std::size_t>(candidate);
        if (distance > kMaxDistance) break;
        const std::uint8_t* there = here - distance;
        // Only a run that agrees on the byte that would make it longer can win.
        if (best.length < limit && there[best.length] == here[best.length]) {
            std::uint32_t length = CommonLength(there, here, 0, limit);
            if (length > best.length) {
                best = Match{length, static_cast<std::uint32_t>(distance)};
                if (length >= niceLength_ || length == limit) break;
            }
        }
        candidate = previous_[static_cast<std::size_t>(candidate)];
    }
    if (best.length < kHashedBytes) best = Match{};
    return best;
}

}  // namespace quorvel
