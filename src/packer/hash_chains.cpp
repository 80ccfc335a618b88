#include "packer/hash_chains.hpp"

#include <algorithm>
#include <limits>

#include "format/item_format.hpp"
#include "packer/packer_namespace.hpp"

namespace quorvel::packer {
namespace {

// Heads for about two positions each, at most 2^16: a small input uses a small table.
constexpr std::uint32_t kMaxHashBits = 16;
std::uint32_t HashBitsFor(std::size_t size) {
    std::uint32_t bits = 10;
    while (bits < kMaxHashBits && (std::size_t{1} << bits) < size / 2) ++bits;
    return bits;
}
constexpr std::uint32_t kHashedBytes = 3;
// A search reads the chain link of positions in reach only, and positions are inserted at
// most one past the one searched, so a ring of twice the reach keeps every link it reads.
constexpr std::size_t kRingSize = 2 * kMaxDistance;
constexpr std::int32_t kNowhere = std::numeric_limits<std::int32_t>::min();

std::uint32_t HashOf(const std::uint8_t* at, std::uint32_t shift) {
    const std::uint32_t key = at[0] | at[1] << 8 | at[2] << 16;
    return (key * 2654435761u) >> shift;
}

}  // namespace

HashChains::HashChains() : head_(std::size_t{1} << kMaxHashBits, kNowhere), previous_(kRingSize) {}

void HashChains::Start(const JoinedBytes& bytes, std::uint32_t chainDepth, std::uint32_t niceLength) {
    constexpr auto kLargest = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
    std::uint64_t base = static_cast<std::uint64_t>(base_) + bytes_.size() + kMaxDistance + 1;
    if (base + bytes.size() > kLargest) {
        std::fill(head_.begin(), head_.end(), kNowhere);
        base = 0;
    }
    base_ = static_cast<std::int32_t>(base);
    bytes_ = bytes;
    chainDepth_ = chainDepth;
    niceLength_ = niceLength;
    hashShift_ = 32 - HashBitsFor(bytes.size());
    hashable_ = bytes.size() >= kHashedBytes ? bytes.size() - kHashedBytes + 1 : 0;
    inserted_ = 0;
}

void HashChains::InsertUpTo(std::size_t end) {
    end = std::min(end, hashable_);
    // Locals, so that the stores into the tables are not taken to change them.
    std::int32_t* const head = head_.data();
    std::int32_t* const ring = previous_.data();
    const std::uint32_t shift = hashShift_;
    const auto base = static_cast<std::uint32_t>(base_);
    for (std::size_t position = inserted_; position < end; ++position) {
        std::int32_t& newest = head[HashOf(bytes_.At(position), shift)];
        const std::uint32_t self = base + static_cast<std::uint32_t>(position);
        ring[self % kRingSize] = newest;
        newest = static_cast<std::int32_t>(self);
    }
    inserted_ = std::max(inserted_, end);
}

Match HashChains::Longest(std::size_t position) const {
    Match best;
    const auto limit = static_cast<std::uint32_t>(std::min<std::size_t>(kMaxMatchLength, bytes_.size() - position));
    if (limit < kHashedBytes) return best;
    const std::uint8_t* here = bytes_.At(position);
    const auto self = static_cast<std::uint32_t>(base_) + static_cast<std::uint32_t>(position);
    std::int32_t candidate = head_[HashOf(here, hashShift_)];
    for (std::uint32_t tries = chainDepth_; tries > 0; --tries) {
        // Modulo 2^32, so that an empty entry, a position out of reach or one not before
        // this one each give a distance outside 1..8192.
        const std::uint32_t distance = self - static_cast<std::uint32_t>(candidate);
        if (distance - 1 >= kMaxDistance) break;
        const std::uint8_t* there = here - distance;
        // Only a run that agrees on the byte that would make it longer can win.
        if (best.length < limit && there[best.length] == here[best.length]) {
            std::uint32_t length = CommonLength(there, here, 0, limit);
            if (length > best.length) {
                best = Match{length, distance};
                if (length >= niceLength_ || length == limit) break;
            }
        }
        candidate = previous_[static_cast<std::size_t>(candidate) % kRingSize];
    }
    if (best.length < kHashedBytes) best = Match{};
    return best;
}

}  // namespace quorvel::packer
