#include "packer/match_finder.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>

#include "decoder/item_format.hpp"
#include "decoder/sliding_window.hpp"

namespace quorvel {

namespace {

struct SearchRules {
    std::uint32_t chainDepth;  // earlier positions tried per search
    std::uint32_t niceLength;  // a match this long ends the search
    bool lazy;                 // try the next position before taking a match
};

SearchRules RulesFor(int effort) {
    if (effort < kMinEffort || effort > kMaxEffort) throw std::invalid_argument("effort outside 1..9");
    static constexpr SearchRules kRules[] = {
        {2, 16, false},    {4, 32, false},    {8, 64, true},      {16, 128, true},    {32, 256, true},
        {64, 512, true},   {128, 1024, true}, {512, 4352, true},  {2048, 4352, true},
    };
    return kRules[effort - kMinEffort];
}

struct Match {
    std::uint32_t length = 0;
    std::uint32_t distance = 0;
};

constexpr std::uint32_t kHashBits = 16;
constexpr std::uint32_t kHashedBytes = 3;
constexpr std::int32_t kNoPosition = -1;

class HashChains {
public:
    HashChains(std::span<const std::uint8_t> bytes, SearchRules rules)
        : bytes_(bytes), rules_(rules), head_(std::size_t{1} << kHashBits, kNoPosition), previous_(bytes.size()) {}

    // Makes every position before `end` findable.
    void InsertUpTo(std::size_t end) {
        std::size_t hashable = bytes_.size() >= kHashedBytes ? bytes_.size() - kHashedBytes + 1 : 0;
        for (end = std::min(end, hashable); inserted_ < end; ++inserted_) {
            std::int32_t& head = head_[HashAt(inserted_)];
            previous_[inserted_] = head;
            head = static_cast<std::int32_t>(inserted_);
        }
    }

    // The longest match for `position` among inserted positions up to 8192 back; the
    // nearest wins among equal lengths.
    Match Longest(std::size_t position) const {
        Match best;
        std::size_t limit = std::min<std::size_t>(kMaxMatchLength, bytes_.size() - position);
        if (limit < kHashedBytes) return best;
        std::int32_t candidate = head_[HashAt(position)];
        for (std::uint32_t tries = rules_.chainDepth; candidate != kNoPosition && tries > 0; --tries) {
            std::size_t distance = position - static_cast<std::size_t>(candidate);
            if (distance > kMaxDistance) break;
            std::uint32_t length = CommonLength(static_cast<std::size_t>(candidate), position, limit, best.length);
            if (length > best.length) {
                best = Match{length, static_cast<std::uint32_t>(distance)};
                if (length >= rules_.niceLength || length == limit) break;
            }
            candidate = previous_[static_cast<std::size_t>(candidate)];
        }
        return best;
    }

private:
    std::uint32_t HashAt(std::size_t position) const {
        std::uint32_t key = bytes_[position] | bytes_[position + 1] << 8 | bytes_[position + 2] << 16;
        return (key * 2654435761u) >> (32 - kHashBits);
    }

    // Length of the common run at `from` and `to`, at most `limit`; 0 when it cannot beat
    // `toBeat` (checked first on the byte that would have to match).
    std::uint32_t CommonLength(std::size_t from, std::size_t to, std::size_t limit, std::uint32_t toBeat) const {
        const std::uint8_t* a = bytes_.data() + from;
        const std::uint8_t* b = bytes_.data() + to;
        if (toBeat >= limit || a[toBeat] != b[toBeat]) return 0;
        std::size_t length = 0;
        while (length + 8 <= limit) {
            std::uint64_t x, y;
            std::memcpy(&x, a + length, 8);
            std::memcpy(&y, b + length, 8);
            if (x != y) return static_cast<std::uint32_t>(length + std::countr_zero(x ^ y) / 8);
            length += 8;
        }
        while (length < limit && a[length] == b[length]) ++length;
        return static_cast<std::uint32_t>(length);
    }

    std::span<const std::uint8_t> bytes_;
    SearchRules rules_;
    std::vector<std::int32_t> head_;
    std::vector<std::int32_t> previous_;
    std::size_t inserted_ = 0;
};

}  // namespace

std::vector<Item> FindItems(std::span<const std::uint8_t> preset, std::span<const std::uint8_t> data,
                            int effort) {
    SearchRules rules = RulesFor(effort);
    // Only the last 8192 preset bytes can be reached.
    preset = preset.last(std::min<std::size_t>(preset.size(), kMaxDistance));
    std::vector<std::uint8_t> bytes(preset.begin(), preset.end());
    bytes.insert(bytes.end(), data.begin(), data.end());
    HashChains chains(bytes, rules);

    std::vector<Item> items;
    auto search = [&](std::size_t position) {
        chains.InsertUpTo(position);
        return chains.Longest(position);
    };
    std::size_t position = preset.size();
    while (position < bytes.size()) {
        Match match = search(position);
        // Lazy matching: a longer match at the next byte is worth a literal first.
        while (rules.lazy && match.length >= kHashedBytes && match.length < rules.niceLength &&
               position + 1 < bytes.size()) {
            Match next = search(position + 1);
            if (next.length <= match.length) break;
            items.push_back(LiteralItem(bytes[position++]));
            match = next;
        }
        if (match.length >= kHashedBytes) {
            items.push_back(MatchItem(match.length, match.distance));
            position += match.length;
        } else {
            items.push_back(LiteralItem(bytes[position++]));
        }
    }
    return items;
}

}  // namespace quorvel
