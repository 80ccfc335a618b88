#include "packer/parse_by_effort.hpp"

#include <algorithm>
#include <stdexcept>

#include "format/item_format.hpp"
#include "packer/hash_chains.hpp"
#include "packer/item_prices.hpp"
#include "packer/items_ahead.hpp"
#include "packer/lazy_parse.hpp"
#include "packer/packer_namespace.hpp"
#include "packer/price_parse.hpp"
#include "packer/quick_tally.hpp"

namespace quorvel::packer {
namespace {

constexpr int kFirstPricedEffort = 4;

LazyRules LazyRulesFor(int effort) {
    static constexpr LazyRules kRules[] = {{2, 16, false}, {4, 32, false}, {8, 64, true}};
    return kRules[effort - kMinEffort];
}

PriceRules PriceRulesFor(int effort) {
    static constexpr PriceRules kRules[] = {
        {8, 32, 1024, 1},  {16, 64, 2048, 1},  {32, 128, 4096, 1},
        {48, 192, 4096, 1}, {64, 256, 4096, 1}, {64, 256, 4096, 2},
    };
    return kRules[effort - kFirstPricedEffort];
}

// This thread's match finders and arrays.
struct ParseSpace {
    HashChains chains;
    PriceParseSpace priced;
    std::vector<std::uint8_t> joined;  // the preset and the data's first bytes, when there is a preset
};

ParseSpace& ThisThreadsSpace() {
    thread_local ParseSpace space;
    return space;
}

// Both sinks, either of which may be missing.
class BothSinks final : public ItemSink {
public:
    BothSinks(ItemSink* first, ItemSink* second) : first_(first), second_(second) {}
    bool Take(const Item& item) override {
        const bool firstWants = first_ == nullptr || first_->Take(item);
        const bool secondWants = second_ == nullptr || second_->Take(item);
        return firstWants && secondWants;
    }

private:
    ItemSink* first_;
    ItemSink* second_;
};

void ParseJoined(const JoinedBytes& bytes, std::size_t start, int effort, ItemEncoder* encoder, ItemSink* chosen,
                 ParseSpace& space, const CompressHooks& hooks, bool twoThreads) {
    if (effort < kFirstPricedEffort) {
        BothSinks sinks(encoder, chosen);
        const PassProgress progress(hooks, start, bytes.size(), 0, 1);
        if (twoThreads) return ParseLazilyAhead(bytes, start, LazyRulesFor(effort), sinks, progress);
        return ParseLazily(bytes, start, LazyRulesFor(effort), space.chains, sinks, progress);
    }
    const PriceRules rules = PriceRulesFor(effort);
    // Each pass's share of the progress: a priced pass takes about three times as long as
    // the quick one.
    const double quick = 1.0 / (1 + 3 * rules.passes);
    const auto pricedPass = [&](std::uint32_t n) {
        return PassProgress(hooks, start, bytes.size(), quick * (1 + 3 * (n - 1)), 3 * quick);
    };
    SymbolTally rough = TallyQuickParse(bytes, start, LazyRulesFor(kFirstPricedEffort - 1), space.chains, twoThreads,
                                        PassProgress(hooks, start, bytes.size(), 0, quick));
    // At the top effort, a first priced parse is the rough one of a second, which reads the
    // matches the first found rather than searching again.
    MatchRecord firstMatches;
    for (std::uint32_t pass = 1; pass < rules.passes; ++pass) {
        ItemEncoder first(ItemEncoder::Output::CodesOnly);
        SymbolTally tally;
        ParseByPrice(bytes, start, rules, rough, first, &tally, space.priced, pricedPass(pass), twoThreads,
                     pass == 1 ? &firstMatches : nullptr);
        rough = tally;
    }
    MatchRecord* const recorded = firstMatches.Filled() ? &firstMatches : nullptr;
    if (encoder != nullptr)
        return ParseByPrice(bytes, start, rules, rough, *encoder, chosen, space.priced, pricedPass(rules.passes),
                            twoThreads, recorded);
    ItemEncoder scratch(ItemEncoder::Output::CodesOnly);
    ParseByPrice(bytes, start, rules, rough, scratch, chosen, space.priced, pricedPass(rules.passes), twoThreads,
                 recorded);
}

// The items, written to `encoder` and handed to `chosen` where given; the price-based parse
// keeps codes of its own when no encoder is given.
void Parse(std::span<const std::uint8_t> preset, std::span<const std::uint8_t> data, int effort, ItemEncoder* encoder,
           ItemSink* chosen, const CompressHooks& hooks = {}, bool twoThreads = false) {
    if (effort < kMinEffort || effort > kMaxEffort) throw std::invalid_argument("effort outside 1..9");
    ParseSpace& space = ThisThreadsSpace();
    // Only the last 8192 preset bytes can be reached.
    preset = preset.last(std::min<std::size_t>(preset.size(), kMaxDistance));
    if (preset.empty()) return ParseJoined(JoinedBytes(data), 0, effort, encoder, chosen, space, hooks, twoThreads);
    ParseJoined(JoinedBytes(preset, data, space.joined), preset.size(), effort, encoder, chosen, space, hooks,
                twoThreads);
}

class ItemList final : public ItemSink {
public:
    bool Take(const Item& item) override {
        items.push_back(item);
        return true;
    }
    std::vector<Item> items;
};

}  // namespace

void FindItemsInto(std::span<const std::uint8_t> preset, std::span<const std::uint8_t> data, int effort,
                   ItemSink& sink) {
    Parse(preset, data, effort, nullptr, &sink);
}

std::vector<Item> FindItems(std::span<const std::uint8_t> preset, std::span<const std::uint8_t> data, int effort) {
    ItemList list;
    Parse(preset, data, effort, nullptr, &list);
    return std::move(list.items);
}

void FindItems(std::span<const std::uint8_t> preset, std::span<const std::uint8_t> data, int effort,
               ItemEncoder& encoder, const CompressHooks& hooks, bool twoThreads) {
    Parse(preset, data, effort, &encoder, nullptr, hooks, twoThreads);
}

}  // namespace quorvel::packer
