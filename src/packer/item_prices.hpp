// What each literal, match length and match distance costs, in sixteenths of a bit, in
// tables that the price-based parse reads in its inner loop.
//
// A price is the mean of two views of a symbol: the length of its code in the trees now in
// force, which is what it costs at this point, and -log2 of its share in a rough parse of
// the whole data, which is what the trees will come to charge for it. The codes alone make
// a parse that never picks a symbol it has not used yet (its code stays long because it
// is never counted); the rough shares alone misprice the start of a file, where the codes
// are still far from them.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "format/item_format.hpp"
#include "packer/adaptive_codes.hpp"
#include "packer/item.hpp"
#include "packer/packer_namespace.hpp"

namespace quorvel::packer {

constexpr std::uint32_t kPriceScale = 16;  // price units per bit

// How often each symbol of either tree occurs in a parse, taken item by item.
struct SymbolTally final : ItemSink {
    bool Take(const Item& item) override;

    std::array<std::uint32_t, kSymbolCount> symbols{};
    std::array<std::uint32_t, kSymbolCount> distances{};
};

class ItemPrices {
public:
    // From the symbols of a rough parse.
    explicit ItemPrices(const SymbolTally& roughParse);
    explicit ItemPrices(std::span<const Item> roughParse);

    // Refreshes the tables when the codes have been rebuilt since the last call.
    void Follow(const AdaptiveCodes& codes) {
        if (codes.Generation() != generation_) Refresh(codes);
    }

    std::uint32_t Literal(std::uint8_t byte) const { return now_.symbol[byte]; }
    // Length 2..4352: its symbol, and the 12 extra bits of a long one.
    std::uint32_t Length(std::uint32_t length) const {
        return now_.symbol[length < kLongMatchBase ? length + kMatchSymbolBias : kLongMatchSymbol];
    }
    // The same by length for lengths 2..256, which have a symbol each, as one array.
    const std::uint32_t* ShortLengths() const { return now_.symbol.data() + kMatchSymbolBias; }
    // Distance 1..8192: its symbol and the 4 low bits.
    std::uint32_t Distance(std::uint32_t distance) const {
        return now_.distance[(distance - 1) >> kDistanceLowBits];
    }

private:
    // Extra bits included: the long-match symbol carries its 12, every distance symbol its 4.
    struct Table {
        std::array<std::uint32_t, kSymbolCount> symbol;
        std::array<std::uint32_t, kSymbolCount> distance;
    };
    void Refresh(const AdaptiveCodes& codes);

    Table longRun_;
    Table now_;
    std::uint32_t generation_ = ~0u;
};

}  // namespace quorvel::packer
