// A quick estimate of the compressed size of items, for comparing ways to compress the
// same bytes: every symbol costs -log2 of its running share, counted from one as the
// adaptive trees count, with no tree built.
#pragma once

#include <cstdint>
#include <span>

#include "packer/item.hpp"

namespace quorvel {

// In bits.
double EstimatedBits(std::span<const Item> items);

}  // namespace quorvel
