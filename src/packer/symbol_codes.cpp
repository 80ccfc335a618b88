#include "packer/symbol_codes.hpp"

#include "packer/packer_namespace.hpp"

#include <stdexcept>

namespace quorvel::packer {

void DeriveCodes(const AdaptiveCodeTree& tree, SymbolCodes& codes) {
    // Every node is made after its children, so going down from the root, the newest node,
    // reaches each node after its parent: its code is known when its children's are made.
    std::array<SymbolCode, kNodeCount - kFirstInnerNode> inner;
    inner[kRootNode - kFirstInnerNode] = SymbolCode{0, 0};
    for (std::uint32_t node = kRootNode; node >= kFirstInnerNode; --node) {
        const SymbolCode code = inner[node - kFirstInnerNode];
        // Counts below 2^32 keep every code far shorter than this; anything longer is a bug.
        if (code.Length >= 64) throw std::logic_error("code tree deeper than 64 levels");
        for (std::uint32_t bit = 0; bit < 2; ++bit) {
            const std::uint32_t child = tree.Nodes[node].Child[bit];
            const SymbolCode childCode{code.Bits | (std::uint64_t{bit} << code.Length), code.Length + 1};
            if (child < kFirstInnerNode) {
                codes[child] = childCode;
            } else {
                inner[child - kFirstInnerNode] = childCode;
            }
        }
    }
}

}  // namespace quorvel::packer
