#include "packer/binary_tree_matcher.hpp"

#include <algorithm>
#include <limits>

#include "format/item_format.hpp"
#include "packer/packer_namespace.hpp"

namespace quorvel::packer {
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

std::uint32_t FullMatchLength(const JoinedBytes& bytes, std::size_t position, std::uint32_t distance,
                              std::uint32_t known) {
    const auto limit = static_cast<std::uint32_t>(std::min<std::size_t>(kMaxMatchLength, bytes.size() - position));
    const std::uint8_t* here = bytes.At(position);
    return CommonLength(here - distance, here, known, limit);
}

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
    lastFirstDistance_ = 0;
}

std::size_t BinaryTreeMatcher::Find(std::size_t position, Match* out) {
    return Walk<true>(position, out);
}

void BinaryTreeMatcher::Skip(std::size_t position) {
    Walk<false>(position, nullptr);
}

void BinaryTreeMatcher::SkipCovered(std::size_t position, std::uint32_t length, std::uint32_t distance) {
    std::size_t next = position + 1;
    const std::size_t end = position + length;
    // A match at distance 1 lies in a run of one byte. Inside it, every position whose run
    // goes on for the nice length finds the position before it first, sharing all it
    // compares, and takes its place in their tree with its subtrees: the last of them ends
    // up where the one at `position` was, and those before it are nowhere. So it is put
    // there at once, and only the positions near the run's end are walked.
    if (distance == 1 && length > niceLength_ + 1) {
        const std::uint8_t* first = bytes_.At(next);
        std::int32_t& root = treeRoot_[RootOf(first)];
        if (root == static_cast<std::int32_t>(Numbered(position))) {
            const std::size_t last = end - niceLength_;
            const auto self = static_cast<std::int32_t>(Numbered(last));
            std::int32_t* const subtrees = children_.data() + Slot(self);
            const std::int32_t* const inherited = children_.data() + Slot(root);
            subtrees[0] = inherited[0];
            subtrees[1] = inherited[1];
            root = self;
            newestPair_[PairOf(first)] = self;
            lastSelf_ = static_cast<std::uint32_t>(self);
            lastFirstDistance_ = 1;
            lastFirstLength_ = niceLength_;
            next = last + 1;
        }
    } else if (distance < length && length > distance + niceLength_ + 1) {
        // A longer match than its distance lies in a stretch that repeats every `distance`
        // bytes. Each position there shares the nice length with the one a period before it,
        // which its walk meets and whose place in the tree it takes: of the positions before
        // the last period and nice length, none would be left in the tree. Walking the rest
        // puts their newest copies where those were.
        next = end - distance - niceLength_;
    }
    for (; next < end; ++next) Skip(next);
}

template <bool kReport>
std::size_t BinaryTreeMatcher::Walk(std::size_t position, Match* out) {
    const std::size_t remaining = bytes_.size() - position;
    if (remaining < 3) return 0;
    const std::uint8_t* here = bytes_.At(position);
    const auto limit = static_cast<std::uint32_t>(std::min<std::size_t>(niceLength_, remaining));
    // Distances are taken modulo 2^32, so that a position out of reach and an empty entry
    // both come out larger than the reach.
    const std::uint32_t self = Numbered(position);
    Match* next = out;
    std::uint32_t longest = 1;

    // The newest position that starts with the same two bytes is the nearest match of
    // every length it reaches.
    std::int32_t& pair = newestPair_[PairOf(here)];
    const std::uint32_t pairDistance = self - static_cast<std::uint32_t>(pair);
    if (kReport && pairDistance <= kMaxDistance) {
        longest = CommonLength(here - pairDistance, here, 2, limit);
        *next++ = Match{longest, pairDistance};
    }
    pair = static_cast<std::int32_t>(self);

    std::int32_t& root = treeRoot_[RootOf(here)];
    std::int32_t candidate = root;
    root = static_cast<std::int32_t>(self);
    std::int32_t* const children = children_.data();
    // Where the next smaller and the next larger node found will hang, and how many bytes
    // every node still to be seen on that side shares with this position.
    std::int32_t* smaller = children + Slot(static_cast<std::int32_t>(self));
    std::int32_t* larger = smaller + 1;
    std::uint32_t smallerShared = 0;
    std::uint32_t largerShared = 0;
    // In a run of one byte, or of a short pattern, the first candidate is the one after the
    // last walk's first, at the same distance: this position shares all but the first of
    // the bytes that one did, so only the bytes behind them are compared. Without this,
    // every position of a long run compared the whole nice length again.
    const bool followsLastWalk = self == lastSelf_ + 1 && candidate == static_cast<std::int32_t>(self - lastFirstDistance_);
    std::uint32_t known = followsLastWalk && lastFirstLength_ > 0 ? std::min(lastFirstLength_ - 1, limit) : 0;
    lastSelf_ = self;
    lastFirstDistance_ = 0;
    for (std::uint32_t tries = depth_;; --tries) {
        const std::uint32_t distance = self - static_cast<std::uint32_t>(candidate);
        if (distance > kMaxDistance || tries == 0) {
            *smaller = *larger = kNoPosition;
            return static_cast<std::size_t>(next - out);
        }
        const std::uint8_t* there = here - distance;
        std::int32_t* const below = children + Slot(candidate);
        const std::uint32_t length =
            CommonLength(there, here, std::max(known, std::min(smallerShared, largerShared)), limit);
        if (tries == depth_) {  // the first comparison, remembered for the next walk
            lastFirstDistance_ = distance;
            lastFirstLength_ = length;
            known = 0;
        }
        if (kReport && length > longest) {
            longest = length;
            *next++ = Match{length, distance};
        }
        if (length == limit) {
            // The candidate agrees as far as is compared: this position takes its place.
            *smaller = below[0];
            *larger = below[1];
            return static_cast<std::size_t>(next - out);
        }
        if (there[length] < here[length]) {
            *smaller = candidate;
            smaller = &below[1];
            candidate = *smaller;
            smallerShared = length;
        } else {
            *larger = candidate;
            larger = &below[0];
            candidate = *larger;
            largerShared = length;
        }
    }
}

}  // namespace quorvel::packer
