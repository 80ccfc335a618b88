#include "packer/parse_by_effort.hpp"

#include <algorithm>
#include <stdexcept>

#include "decoder/sliding_window.hpp"
#include "packer/lazy_parse.hpp"
#include "packer/price_parse.hpp"

namespace quorvel {
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

// The items, written to `encoder` too when there is one; the price-based parse needs one
// for its codes.
std::vector<Item> Parse(std::span<const std::uint8_t> preset, std::span<const std::uint8_t> data, int effort,
                        ItemEncoder* encoder, const CompressProgress& progress) {
    if (effort < kMinEffort || effort > kMaxEffort) throw std::invalid_argument("effort outside 1..9");
    // Only the last 8192 preset bytes can be reached.
    preset = preset.last(std::min<std::size_t>(preset.size(), kMaxDistance));
    std::vector<std::uint8_t> bytes(preset.begin(), preset.end());
    bytes.insert(bytes.end(), data.begin(), data.end());
    const std::size_t start = preset.size();
    if (effort < kFirstPricedEffort) {
        std::vector<Item> items =
            ParseLazily(bytes, start, LazyRulesFor(effort), PassProgress(progress, start, bytes.size(), 0, 1));
        if (encoder != nullptr)
            for (const Item& item : items) encoder->Put(item);
        return items;
    }
    const PriceRules rules = PriceRulesFor(effort);
    // Each pass's share of the progress: a priced pass takes about three times as long as
    // the quick one.
    const double quick = 1.0 / (1 + 3 * rules.passes);
    const auto pricedPass = [&](std::uint32_t n) {
        return PassProgress(progress, start, bytes.size(), quick * (1 + 3 * (n - 1)), 3 * quick);
    };
    std::vector<Item> rough = ParseLazily(bytes, start, LazyRulesFor(kFirstPricedEffort - 1),
                                          PassProgress(progress, start, bytes.size(), 0, quick));
    // At the top effort, a first priced parse is the rough one of a second.
    for (std::uint32_t pass = 1; pass < rules.passes; ++pass) {
        ItemEncoder first;
        rough = ParseByPrice(bytes, start, rules, rough, first, pricedPass(pass));
    }
    ItemEncoder scratch;
    return ParseByPrice(bytes, start, rules, rough, encoder != nullptr ? *encoder : scratch,
                        pricedPass(rules.passes));
}

}  // namespace

std::vector<Item> FindItems(std::span<const std::uint8_t> preset, std::span<const std::uint8_t> data,
                            int effort) {
    return Parse(preset, data, effort, nullptr, {});
}

std::vector<Item> FindItems(std::span<const std::uint8_t> preset, std::span<const std::uint8_t> data, int effort,
                            ItemEncoder& encoder, const CompressProgress& progress) {
    return Parse(preset, data, effort, &encoder, progress);
}

}  // namespace quorvel
