#include "packer/price_parse.hpp"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <string>

#include "format/item_format.hpp"
#include "packer/matches_ahead.hpp"
#include "packer/packer_namespace.hpp"

namespace quorvel::packer {
namespace {

constexpr std::uint32_t kUnreached = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint32_t kLiteralStep = 1;
constexpr std::uint32_t kDistanceShift = 16;

// The parse's match search, on this thread: the matcher and its room for matches are kept
// from input to input.
class SearchHere {
public:
    SearchHere(const JoinedBytes& bytes, std::size_t start, const PriceRules& rules, PriceParseSpace& space)
        : matcher_(space.matcher) {
        matcher_.Start(bytes, rules.treeDepth, rules.niceLength);
        for (std::size_t position = 0; position < start; ++position) matcher_.Skip(position);
        if (space.matches.size() < rules.niceLength) space.matches.resize(rules.niceLength);
        room_ = space.matches.data();
    }
    std::size_t Find(std::size_t position, const Match*& matches) {
        matches = room_;
        return matcher_.Find(position, room_);
    }
    void SkipCovered(std::size_t position, std::uint32_t length, std::uint32_t distance) {
        matcher_.SkipCovered(position, length, distance);
    }

private:
    BinaryTreeMatcher& matcher_;
    Match* room_;
};

// The same search, run ahead on a thread of its own, which also inserts what long matches cover.
class SearchedAhead {
public:
    explicit SearchedAhead(MatchesAhead& ahead) : ahead_(ahead) {}
    std::size_t Find(std::size_t position, const Match*& matches) { return ahead_.Find(position, matches); }
    void SkipCovered(std::size_t, std::uint32_t, std::uint32_t) {}

private:
    MatchesAhead& ahead_;
};

// A search whose matches are also written to a record.
template <class Search>
class SearchRecording {
public:
    SearchRecording(Search search, MatchRecord& record) : search_(search), record_(record) {}
    std::size_t Find(std::size_t position, const Match*& matches) {
        const std::size_t found = search_.Find(position, matches);
        record_.Add(position, matches, found);
        return found;
    }
    void SkipCovered(std::size_t position, std::uint32_t length, std::uint32_t distance) {
        search_.SkipCovered(position, length, distance);
    }

private:
    Search search_;
    MatchRecord& record_;
};

// The matches an earlier pass recorded, read back in the order it searched them.
class SearchRecorded {
public:
    explicit SearchRecorded(MatchRecord& record) : record_(record) {}
    std::size_t Find(std::size_t position, const Match*& matches) { return record_.Read(position, matches); }
    void SkipCovered(std::size_t, std::uint32_t, std::uint32_t) {}

private:
    MatchRecord& record_;
};

template <class Search>
class PriceParser {
public:
    PriceParser(Search search, const JoinedBytes& bytes, const PriceRules& rules, const SymbolTally& roughParse,
                ItemEncoder& encoder, ItemSink* chosen, PriceParseSpace& space)
        : bytes_(bytes),
          rules_(rules),
          search_(search),
          encoder_(encoder),
          chosen_(chosen),
          prices_(roughParse),
          path_(space.path) {
        const std::size_t positions = rules.segment + rules.niceLength + 1;
        if (space.price.size() < positions) {
            space.price.resize(positions);
            space.step.resize(positions);
        }
        price_ = space.price.data();
        step_ = space.step.data();
    }

    void Parse(std::size_t start, PassProgress& progress) {
        for (std::size_t position = start; position < bytes_.size();) {
            progress.At(position);
            prices_.Follow(encoder_.Codes());
            position += ParseSegment(position);
        }
    }

private:
    // Parses from `base` on and takes the items of the cheapest path; returns the bytes
    // they cover.
    std::size_t ParseSegment(std::size_t base) {
        price_[0] = 0;
        std::size_t reach = 0;
        std::size_t current = 0;
        for (; current < rules_.segment && base + current < bytes_.size(); ++current) {
            // Nothing reaches beyond here: every path meets at this position.
            if (current == reach && current > 0) break;
            const Match* matches;
            const std::size_t found = search_.Find(base + current, matches);
            const std::uint32_t longest = found > 0 ? matches[found - 1].length : 1;
            if (longest >= rules_.niceLength) {
                TakePath(base, current);
                return current + TakeLongMatch(base + current, matches[found - 1].distance);
            }
            if (current + longest > reach) {
                std::fill(price_ + reach + 1, price_ + current + longest + 1, kUnreached);
                reach = current + longest;
            }
            Relax(bytes_[base + current], current, matches, found);
        }
        TakePath(base, current);
        return current;
    }

    // Offers the literal and every length of every match at position `current`.
    void Relax(std::uint8_t byte, std::size_t current, const Match* matches, std::size_t found) {
        std::uint32_t* price = price_ + current;
        std::uint32_t* step = step_ + current;
        const std::uint32_t from = price[0];
        const std::uint32_t literal = from + prices_.Literal(byte);
        if (literal < price[1]) {
            price[1] = literal;
            step[1] = kLiteralStep;
        }
        std::uint32_t length = kMinMatchLength;
        for (std::size_t k = 0; k < found; ++k) {
            const Match& match = matches[k];
            const std::uint32_t withDistance = from + prices_.Distance(match.distance);
            const std::uint32_t distance = match.distance << kDistanceShift;
            // Lengths of one symbol each, then those of the long-match symbol and its bits.
            const std::uint32_t lastShort = std::min(match.length, kLongMatchBase - 1);
            if (length <= lastShort) {
                OfferShortLengths(price, step, prices_.ShortLengths(), length, lastShort, withDistance, distance);
                length = lastShort + 1;
            }
            for (; length <= match.length; ++length) Offer(price, step, length, withDistance + prices_.Length(length), distance);
        }
    }

    // Offers lengths first..last of one match. The arrays never overlap: said so, the loop
    // is vectorised without a test for overlaps at every match.
    static void OfferShortLengths(std::uint32_t* __restrict price, std::uint32_t* __restrict step,
                                  const std::uint32_t* __restrict lengthPrices, std::uint32_t first,
                                  std::uint32_t last, std::uint32_t withDistance, std::uint32_t distance) {
        for (std::uint32_t length = first; length <= last; ++length)
            Offer(price, step, length, withDistance + lengthPrices[length], distance);
    }

    // Keeps the item that reaches `length` bytes further at `offered` when that is cheaper
    // than the best known. Written without a branch, so that the loops over lengths can be
    // vectorised.
    static void Offer(std::uint32_t* price, std::uint32_t* step, std::uint32_t length, std::uint32_t offered,
                      std::uint32_t distance) {
        const bool cheaper = offered < price[length];
        price[length] = cheaper ? offered : price[length];
        step[length] = cheaper ? (length | distance) : step[length];
    }

    // Takes the cheapest path from the segment's start to position `end` of it.
    void TakePath(std::size_t base, std::size_t end) {
        path_.clear();
        for (std::size_t at = end; at > 0;) {
            const std::uint32_t length = step_[at] & ((1u << kDistanceShift) - 1);
            path_.push_back(length == kLiteralStep ? LiteralItem(bytes_[base + at - 1])
                                                   : MatchItem(length, step_[at] >> kDistanceShift));
            at -= length;
        }
        for (auto item = path_.rbegin(); item != path_.rend(); ++item) Take(*item);
    }

    // A match at least niceLength long, made as long as the data allows and taken as it is;
    // returns its length.
    std::uint32_t TakeLongMatch(std::size_t position, std::uint32_t distance) {
        const std::uint32_t length = FullMatchLength(bytes_, position, distance, rules_.niceLength);
        search_.SkipCovered(position, length, distance);
        Take(MatchItem(length, distance));
        return length;
    }

    void Take(const Item& item) {
        encoder_.Put(item);
        if (chosen_ != nullptr) chosen_->Take(item);
    }

    JoinedBytes bytes_;
    PriceRules rules_;
    Search search_;
    ItemEncoder& encoder_;
    ItemSink* chosen_;
    ItemPrices prices_;
    std::vector<Item>& path_;
    std::uint32_t* price_;
    std::uint32_t* step_;
};


template <class Search>
void Run(Search search, const JoinedBytes& bytes, std::size_t start, const PriceRules& rules,
         const SymbolTally& roughParse, ItemEncoder& encoder, ItemSink* chosen, PriceParseSpace& space,
         PassProgress& progress, MatchRecord* record) {
    if (record == nullptr)
        return PriceParser<Search>(search, bytes, rules, roughParse, encoder, chosen, space).Parse(start, progress);
    PriceParser<SearchRecording<Search>>(SearchRecording<Search>(search, *record), bytes, rules, roughParse, encoder,
                                         chosen, space)
        .Parse(start, progress);
    record->Finish();
}

// At most this many matches, and as many positions, are recorded: 16 MB at most, which
// holds the matches of files of some hundreds of KB.
constexpr std::size_t kMaxRecorded = std::size_t{1} << 20;

}  // namespace

void MatchRecord::Add(std::size_t position, const Match* matches, std::size_t count) {
    if (overflowed_) return;
    if (records_.size() == kMaxRecorded || matches_.size() + count > kMaxRecorded) {
        overflowed_ = true;
        records_ = {};
        matches_ = {};
        return;
    }
    records_.push_back({static_cast<std::uint32_t>(position), static_cast<std::uint32_t>(count)});
    matches_.insert(matches_.end(), matches, matches + count);
}

std::size_t MatchRecord::Read(std::size_t position, const Match*& matches) {
    if (next_ == records_.size() || records_[next_].position != static_cast<std::uint32_t>(position))
        throw std::logic_error("the parse asked for the matches at " + std::to_string(position) +
                               ", which the recorded pass did not search next");
    const Record& record = records_[next_++];
    matches = matches_.data() + nextMatch_;
    nextMatch_ += record.matchCount;
    return record.matchCount;
}

void ParseByPrice(const JoinedBytes& bytes, std::size_t start, const PriceRules& rules,
                  const SymbolTally& roughParse, ItemEncoder& encoder, ItemSink* chosen, PriceParseSpace& space,
                  PassProgress progress, bool twoThreads, MatchRecord* record) {
    if (record != nullptr && record->Filled())
        return PriceParser<SearchRecorded>(SearchRecorded(*record), bytes, rules, roughParse, encoder, chosen, space)
            .Parse(start, progress);
    if (twoThreads) {
        MatchesAhead ahead(bytes, start, rules.treeDepth, rules.niceLength);
        if (ahead.Running())
            return Run(SearchedAhead(ahead), bytes, start, rules, roughParse, encoder, chosen, space, progress, record);
    }
    Run(SearchHere(bytes, start, rules, space), bytes, start, rules, roughParse, encoder, chosen, space, progress,
        record);
}

}  // namespace quorvel::packer
