#include "packer/size_estimate.hpp"

#include <cmath>

#include "format/item_format.hpp"
#include "packer/adaptive_codes.hpp"
#include "packer/packer_namespace.hpp"

namespace quorvel::packer {
namespace {

double Log2(std::uint32_t n) {
    static const std::array<double, 1 << 14> kTable = [] {
        std::array<double, 1 << 14> table{};
        for (std::size_t i = 1; i < table.size(); ++i) table[i] = std::log2(static_cast<double>(i));
        return table;
    }();
    return n < kTable.size() ? kTable[n] : std::log2(static_cast<double>(n));
}

}  // namespace

double SizeEstimate::RunningShares::Take(std::uint32_t symbol) {
    const double bits = Log2(total_) - Log2(counts_[symbol]);
    ++counts_[symbol];
    ++total_;
    return bits;
}

bool SizeEstimate::Take(const Item& item) {
    const ItemSymbols spelt = SpellItem(item);
    bits_ += symbols_.Take(spelt.symbol);
    if (spelt.isLong) bits_ += kLongMatchBits;
    if (spelt.isMatch) bits_ += distances_.Take(spelt.distanceSymbol) + kDistanceLowBits;
    return Bytes() < enough_;
}

double EstimatedBits(std::span<const Item> items) {
    SizeEstimate estimate;
    for (const Item& item : items) estimate.Take(item);
    return estimate.Bits();
}

}  // namespace quorvel::packer
