#include "packer/symbol_codes.hpp"

#include <stdexcept>

namespace quorvel {

void DeriveCodes(const AdaptiveCodeTree& tree, SymbolCodes& codes) {
    struct Step {
        std::uint32_t node;
        SymbolCode code;
    };
    // Depth first; each inner node replaces itself by its two children, so the stack never
    // holds more entries than the tree has nodes.
    std::array<Step, kNodeCount> stack;
    std::size_t depth = 0;
    stack[depth++] = Step{kRootNode, SymbolCode{0, 0}};
    while (depth > 0) {
        Step step = stack[--depth];
        if (step.node < kFirstInnerNode) {
            codes[step.node] = step.code;
            continue;
        }
        // Counts below 2^32 keep every code far shorter than this; anything longer is a bug.
        if (step.code.Length >= 64) throw std::logic_error("code tree deeper than 64 levels");
        const CodeNode& node = tree.Nodes[step.node];
        for (std::uint32_t bit = 0; bit < 2; ++bit) {
            SymbolCode child{step.code.Bits | (std::uint64_t{bit} << step.code.Length), step.code.Length + 1};
            stack[depth++] = Step{node.Child[bit], child};
        }
    }
}

}  // namespace quorvel
