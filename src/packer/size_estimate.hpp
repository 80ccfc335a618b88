// A quick estimate of the compressed size of items, for comparing ways to compress the
// same bytes: every symbol costs -log2 of its running share, counted from one as the
// adaptive trees count, with no tree built.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <span>

#include "format/code_tree.hpp"
#include "packer/item.hpp"
#include "packer/packer_namespace.hpp"

namespace quorvel::packer {

// The estimate taken item by item, as a parse hands them over, in bytes with a fixed part
// added. Wants no more items once it has reached `enough` bytes: it only grows.
class SizeEstimate final : public ItemSink {
public:
    explicit SizeEstimate(double fixedBytes = 0, double enough = std::numeric_limits<double>::infinity())
        : fixedBytes_(fixedBytes), enough_(enough) {}

    bool Take(const Item& item) override;
    double Bits() const { return bits_; }
    double Bytes() const { return bits_ / 8 + fixedBytes_; }

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

    double fixedBytes_;
    double enough_;
    RunningShares symbols_;
    RunningShares distances_;
    double bits_ = 0;
};

// In bits.
double EstimatedBits(std::span<const Item> items);

}  // namespace quorvel::packer
