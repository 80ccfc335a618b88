#include "packer/size_estimate.hpp"

#include <array>
#include <cmath>

#include "format/code_tree.hpp"
#include "format/item_format.hpp"
#include "packer/adaptive_codes.hpp"

namespace quorvel {
namespace {

// -log2(count / total) for the running counts of one tree.
class RunningShares {
public:
    RunningShares() { counts_.fill(1); }

    double Take(std::uint32_t symbol) {
        const double bits = Log2(total_) - Log2(counts_[symbol]);
        ++counts_[symbol];
        ++total_;
        return bits;
    }

private:
    static double Log2(std::uint32_t n) {
        static const std::array<double, 1 << 14> kTable = [] {
            std::array<double, 1 << 14> table{};
            for (std::size_t i = 1; i < table.size(); ++i) table[i] = std::log2(static_cast<double>(i));
            return table;
        }();
        return n < kTable.size() ? kTable[n] : std::log2(static_cast<double>(n));
    }

    std::array<std::uint32_t, kSymbolCount> counts_;
    std::uint32_t total_ = kSymbolCount;
};

}  // namespace

double EstimatedBits(std::span<const Item> items) {
    RunningShares symbols;
    RunningShares distances;
    double bits = 0;
    for (const Item& item : items) {
        const ItemSymbols spelt = SpellItem(item);
        bits += symbols.Take(spelt.symbol);
        if (spelt.isLong) bits += kLongMatchBits;
        if (spelt.isMatch) bits += distances.Take(spelt.distanceSymbol) + kDistanceLowBits;
    }
    return bits;
}

}  // namespace quorvel
