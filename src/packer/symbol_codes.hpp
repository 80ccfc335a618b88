// The code of every symbol of a built tree, as the decoder will read it.
#pragma once

#include <array>
#include <cstdint>

#include "format/code_tree.hpp"
#include "packer/packer_namespace.hpp"

namespace quorvel::packer {

struct SymbolCode {
    std::uint64_t Bits;    // the path from the root, first bit in bit 0
    std::uint32_t Length;  // number of bits
};

using SymbolCodes = std::array<SymbolCode, kSymbolCount>;

// Walks the built tree from the root: bit 0 to a node's first child, bit 1 to its second.
void DeriveCodes(const AdaptiveCodeTree& tree, SymbolCodes& codes);

}  // namespace quorvel::packer
