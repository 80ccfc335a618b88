// The two adaptive trees of one file entry as the decoder keeps them: counts, rebuilds at
// the rebuild points, and the code of every symbol of the trees in force. The encoder
// writes with these codes; the price-based parse reads their lengths.
#pragma once

#include <cstdint>
#include <memory>

#include "format/code_tree.hpp"
#include "packer/item.hpp"
#include "packer/packer_namespace.hpp"
#include "packer/symbol_codes.hpp"

namespace quorvel::packer {

// How an item is spelt: a SymbolTree symbol, for a long match 12 extra length bits, and
// for any match a DistanceTree symbol and 4 low distance bits.
struct ItemSymbols {
    std::uint32_t symbol;
    bool isMatch;
    bool isLong;
    std::uint32_t lengthExtra;
    std::uint32_t distanceSymbol;
    std::uint32_t distanceLow;
};

// Throws for a match outside the format's ranges.
ItemSymbols SpellItem(const Item& item);

class AdaptiveCodes {
public:
    // Built for the first item.
    AdaptiveCodes();

    // Counts an item's symbols once it has been written, and rebuilds both trees when the
    // next item's number is a rebuild point: the codes then in force are those for the
    // next item, as the decoder will have them.
    void CountItem(const ItemSymbols& spelt);

    const SymbolCodes& SymbolTreeCodes() const { return state_->symbolCodes; }
    const SymbolCodes& DistanceTreeCodes() const { return state_->distanceCodes; }
    // Rises by one with every rebuild, so that a reader of the codes sees when they change.
    std::uint32_t Generation() const { return generation_; }

private:
    struct State {
        AdaptiveCodeTree symbols;
        AdaptiveCodeTree distances;
        SymbolCodes symbolCodes;
        SymbolCodes distanceCodes;
    };

    static void BuildTrees(State& state);
    void Rebuild();

    std::unique_ptr<State> state_;
    std::uint32_t itemsCounted_ = 0;
    std::uint32_t rebuildPoint_ = 0;
    std::uint32_t generation_ = 0;
};

}  // namespace quorvel::packer
