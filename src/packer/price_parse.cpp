#include "packer/price_parse.hpp"

#include <algorithm>
#include <limits>

#include "format/item_format.hpp"
#include "packer/binary_tree_matcher.hpp"
#include "packer/item_prices.hpp"

namespace quorvel {
namespace {

constexpr std::uint32_t kUnreached = std::numeric_limits<std::uint32_t>::max();

// The cheapest known way to reach a position of the segment: its price from the segment's
// start and the item that ends there (length 1 for a literal).
struct Arrival {
    std::uint32_t price;
    std::uint16_t length;
    std::uint16_t distance;
};

class PriceParser {
public:
    PriceParser(std::span<const std::uint8_t> bytes, const PriceRules& rules, std::span<const Item> roughParse,
                ItemEncoder& encoder)
        : bytes_(bytes),
          rules_(rules),
          matcher_(bytes, rules.treeDepth, rules.niceLength),
          encoder_(encoder),
          prices_(roughParse),
          arrivals_(rules.segment + rules.niceLength + 1),
          matches_(rules.niceLength) {}

    std::vector<Item> Parse(std::size_t start, PassProgress& progress) {
        for (std::size_t position = 0; position < start; ++position) matcher_.Skip(position);
        for (std::size_t position = start; position < bytes_.size();) {
            progress.At(position);
            prices_.Follow(encoder_.Codes());
            position += ParseSegment(position);
        }
        return std::move(items_);
    }

private:
    // Parses from `base` on and takes the items of the cheapest path; returns the bytes
    // they cover.
    std::size_t ParseSegment(std::size_t base) {
        arrivals_[0] = Arrival{0, 0, 0};
        std::size_t reach = 0;
        std::size_t current = 0;
        for (; current < rules_.segment && base + current < bytes_.size(); ++current) {
            // Nothing reaches beyond here: every path meets at this position.
            if (current == reach && current > 0) break;
            const std::size_t found = matcher_.Find(base + current, matches_.data());
            const std::uint32_t longest = found > 0 ? matches_[found - 1].length : 1;
            if (longest >= rules_.niceLength) {
                TakePath(base, current);
                TakeLongMatch(base + current, matches_[found - 1].distance);
                return current + items_.back().MatchLength;
            }
            for (std::size_t i = reach + 1; i <= current + longest; ++i) arrivals_[i].price = kUnreached;
            reach = std::max(reach, current + longest);
            Relax(bytes_[base + current], current, found);
        }
        TakePath(base, current);
        return current;
    }

    // Offers the literal and every length of every match at position `current`.
    void Relax(std::uint8_t byte, std::size_t current, std::size_t found) {
        const std::uint32_t from = arrivals_[current].price;
        Arrival& next = arrivals_[current + 1];
        const std::uint32_t literal = from + prices_.Literal(byte);
        if (literal < next.price) next = Arrival{literal, 1, 0};
        std::uint32_t length = kMinMatchLength;
        for (std::size_t k = 0; k < found; ++k) {
            const Match& match = matches_[k];
            const std::uint32_t withDistance = from + prices_.Distance(match.distance);
            for (; length <= match.length; ++length) {
                const std::uint32_t price = withDistance + prices_.Length(length);
                Arrival& arrival = arrivals_[current + length];
                if (price < arrival.price)
                    arrival = Arrival{price, static_cast<std::uint16_t>(length),
                                      static_cast<std::uint16_t>(match.distance)};
            }
        }
    }

    // Takes the cheapest path from the segment's start to position `end` of it.
    void TakePath(std::size_t base, std::size_t end) {
        path_.clear();
        for (std::size_t at = end; at > 0; at -= arrivals_[at].length) {
            const Arrival& arrival = arrivals_[at];
            path_.push_back(arrival.length == 1 ? LiteralItem(bytes_[base + at - 1])
                                                : MatchItem(arrival.length, arrival.distance));
        }
        for (auto item = path_.rbegin(); item != path_.rend(); ++item) Take(*item);
    }

    // A match at least niceLength long, made as long as the data allows and taken as it is.
    void TakeLongMatch(std::size_t position, std::uint32_t distance) {
        const auto limit =
            static_cast<std::uint32_t>(std::min<std::size_t>(kMaxMatchLength, bytes_.size() - position));
        const std::uint8_t* here = bytes_.data() + position;
        const std::uint32_t length = CommonLength(here - distance, here, rules_.niceLength, limit);
        for (std::size_t skipped = 1; skipped < length; ++skipped) matcher_.Skip(position + skipped);
        Take(MatchItem(length, distance));
    }

    void Take(const Item& item) {
        encoder_.Put(item);
        items_.push_back(item);
    }

    std::span<const std::uint8_t> bytes_;
    PriceRules rules_;
    BinaryTreeMatcher matcher_;
    ItemEncoder& encoder_;
    ItemPrices prices_;
    std::vector<Arrival> arrivals_;
    std::vector<Match> matches_;
    std::vector<Item> path_;
    std::vector<Item> items_;
};

}  // namespace

std::vector<Item> ParseByPrice(std::span<const std::uint8_t> bytes, std::size_t start, const PriceRules& rules,
                               std::span<const Item> roughParse, ItemEncoder& encoder, PassProgress progress) {
    return PriceParser(bytes, rules, roughParse, encoder).Parse(start, progress);
}

}  // namespace quorvel
