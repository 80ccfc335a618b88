#include "packer/item_prices.hpp"

#include "packer/packer_namespace.hpp"

#include <cmath>

namespace quorvel::packer {
namespace {

// -log2 of each symbol's share, every count one more than seen.
void SharePrices(const std::array<std::uint32_t, kSymbolCount>& seen, std::array<std::uint32_t, kSymbolCount>& prices) {
    double total = kSymbolCount;
    for (std::uint32_t count : seen) total += count;
    const auto price = [total](std::uint32_t count) {
        return static_cast<std::uint32_t>(std::lround(kPriceScale * std::log2(total / (count + 1.0))));
    };
    // Most symbols share a few small counts (most are never seen): each is priced once.
    constexpr std::uint32_t kUnpriced = ~0u;
    std::array<std::uint32_t, 64> bySmallCount;
    bySmallCount.fill(kUnpriced);
    for (std::uint32_t s = 0; s < kSymbolCount; ++s) {
        const std::uint32_t count = seen[s];
        if (count >= bySmallCount.size()) {
            prices[s] = price(count);
            continue;
        }
        if (bySmallCount[count] == kUnpriced) bySmallCount[count] = price(count);
        prices[s] = bySmallCount[count];
    }
}

}  // namespace

bool SymbolTally::Take(const Item& item) {
    const ItemSymbols spelt = SpellItem(item);
    ++symbols[spelt.symbol];
    if (spelt.isMatch) ++distances[spelt.distanceSymbol];
    return true;
}

ItemPrices::ItemPrices(const SymbolTally& roughParse) {
    SymbolTally tally = roughParse;
    // The rough parse takes no match of two bytes, which would leave them priced out for
    // good; they are given half the share of matches of three.
    tally.symbols[kMinMatchLength + kMatchSymbolBias] = tally.symbols[kMinMatchLength + 1 + kMatchSymbolBias] / 2;
    SharePrices(tally.symbols, longRun_.symbol);
    SharePrices(tally.distances, longRun_.distance);
}

ItemPrices::ItemPrices(std::span<const Item> roughParse) : ItemPrices([&] {
    SymbolTally tally;
    for (const Item& item : roughParse) tally.Take(item);
    return tally;
}()) {}

void ItemPrices::Refresh(const AdaptiveCodes& codes) {
    generation_ = codes.Generation();
    const SymbolCodes& symbols = codes.SymbolTreeCodes();
    const SymbolCodes& distances = codes.DistanceTreeCodes();
    for (std::uint32_t s = 0; s < kSymbolCount; ++s) {
        now_.symbol[s] = (kPriceScale * symbols[s].Length + longRun_.symbol[s] + 1) / 2;
        now_.distance[s] = (kPriceScale * distances[s].Length + longRun_.distance[s] + 1) / 2 + kPriceScale * kDistanceLowBits;
    }
    now_.symbol[kLongMatchSymbol] += kPriceScale * kLongMatchBits;
}

}  // namespace quorvel::packer
