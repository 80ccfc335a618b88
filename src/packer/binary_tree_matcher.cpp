#include "packer/binary_tree_matcher.hpp"

#include <algorithm>
#include <limits>

#include "format/item_format.hpp"
#include "decoder/sliding_window.hpp"

namespace quorvel {
namespace {

constexpr std::uint32_t kRootBits = 16;
constexpr std::int32_t kNoPosition = std::numeric_limits<std::int32_t>::min();
// More slots than the reach, so the slot of the position 8192 back is not the new one's.
constexpr std::size_t kSlots = 2 * kMaxDistance;

std::size_t Slot(std::int32_t position) {
    return 2 * (static_cast<std::size_t>(position) & (kSlots - 1));
}

std::uint32_t RootOf(const std::uint8_t* at) {
    const std::uint32_t key = at[0] | at[1] << 8 | at[2] << 16;
    return (key * 2654435761u) >> (32 - kRootBits);
}

std::uint32_t PairOf(const std::uint8_t* at) {
    return at[0] | at[1] << 8;
}

}  // namespace

BinaryTreeMatcher::BinaryTreeMatcher()
    : treeRoot_(std::size_t{1} << kRootBits, kNoPosition),
      newestPair_(std::size_t{1} << 16, kNoPosition),
      children_(2 * kSlots) {}

void BinaryTreeMatcher::Start(const JoinedBytes& bytes, std::uint32_t depth, std::uint32_t niceLength) {
    constexpr auto kLargest = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
    std::uint64_t base = static_cast<std::uint64_t>(base_) + bytes_.size() + kMaxDistance + 1;
    if (base + bytes.size() > kLargest) {
        std::fill(treeRoot_.begin(), treeRoot_.end(), kNoPosition);
        std::fill(newestPair_.begin(), newestPair_.end(), kNoPosition);
        base = 0;
    }
    base_ = static_cast<std::int32_t>(base);
    bytes_ = bytes;
    depth_ = depth;
    niceLength_ = std::min(niceLength, kMaxMatchLength);
}

std::size_t BinaryTreeMatcher::Find(std::size_t position, Match* out) {
    return Walk<true>(position, out);
}

void BinaryTreeMatcher::Skip(std::size_t position) {
    Walk<false>(position, nullptr);
}

template <bool kReport>
std::size_t BinaryTreeMatcher::Walk(std::size_t position, Match* out) {
    const std::size_t remaining = bytes_.size() - position;
    if (remaining < 3) return 0;
    const std::uint8_t* here = bytes_.At(position);
    const auto limit = static_cast<std::uint32_t>(std::min<std::size_t>(niceLength_, remaining));
    const std::int32_t self = base_ + static_cast<std::int32_t>(position);
    const std::int32_t oldest = self - static_cast<std::int32_t>(kMaxDistance);
    std::size_t found = 0;
    std::uint32_t longest = 1;

    // The newest position that starts with the same two bytes is the nearest match of
    // every length it reaches.
    std::int32_t& pair = newestPair_[PairOf(here)];
    if (kReport && pair >= oldest) {
        const std::uint32_t distance = static_cast<std::uint32_t>(self - pair);
        longest = CommonLength(here - distance, here, 2, limit);
        out[found++] = Match{longest, distance};
    }
    pair = self;

    std::int32_t& root = treeRoot_[RootOf(here)];
    std::int32_t candidate = root;
    root = self;
    // Where the next smaller and the next larger node found will hang, and how many bytes
    // every node still to be seen on that side shares with this position.
    std::int32_t* smaller = &children_[Slot(self)];
    std::int32_t* larger = smaller + 1;
    std::uint32_t smallerShared = 0;
    std::uint32_t largerShared = 0;
    for (std::uint32_t tries = depth_;; --tries) {
        if (candidate < oldest || tries == 0) {
            *smaller = *larger = kNoPosition;
            return found;
        }
        const std::uint8_t* there = here - (self - candidate);
        std::int32_t* next = &children_[Slot(candidate)];
        const std::uint32_t length = CommonLength(there, here, std::min(smallerShared, largerShared), limit);
        if (kReport && length > longest) {
            longest = length;
            out[found++] = Match{length, static_cast<std::uint32_t>(self - candidate)};
        }
        if (length == limit) {
            // The candidate agrees as far as is compared: this position takes its place.
            *smaller = next[0];
            *larger = next[1];
            return found;
        }
        if (there[length] < here[length]) {
            *smaller = candidate;
            smaller = &next[1];
            candidate = *smaller;
            smallerShared = length;
        } else {
            *larger = candidate;
            larger = &next[0];
            candidate = *larger;
            largerShared = length;
        }
    }
}

}  // namespace quorvel
