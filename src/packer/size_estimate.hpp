// A quick estimate of the compressed size of items, for comparing ways to compress the
// same bytes: every symbol costs -log2 of its running share, counted from one as the
// adaptive trees count, with no tree built.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "format/code_tree.hpp"
#include "packer/item.hpp"

namespace quorvel {

// The estimate taken item by item, as a parse hands them over.
class SizeEstimate final : public ItemSink {
public:
    void Take(const Item& item) override;
    // In bits.
    double Bits() const { return bits_; }

private:
    // -log2(count / total) for the running counts of one tree.
    class RunningShares {
    public:
        RunningShares() { counts_.fill(1); }
        double Take(std::uint32_t symbol);

    private:
        std::array<std::uint32_t, kSymbolCount> counts_;
        std::uint32_t total_ = kSymbolCount;
    };

    RunningShares symbols_;
    RunningShares distances_;
    double bits_ = 0;
};

// In bits.
double EstimatedBits(std::span<const Item> items);

}  // namespace quorvel
