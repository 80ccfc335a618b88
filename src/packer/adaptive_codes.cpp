#include "packer/adaptive_codes.hpp"

#include "format/item_format.hpp"
#include "packer/packer_namespace.hpp"

namespace quorvel::packer {

ItemSymbols SpellItem(const Item& item) {
    if (item.IsLiteral()) return ItemSymbols{item.Literal, false, false, 0, 0, 0};
    MatchItem(item.MatchLength, item.MatchDistance);  // range check
    const std::uint32_t length = item.MatchLength;
    const bool isLong = length >= kLongMatchBase;
    const std::uint32_t distance = item.MatchDistance - 1u;
    return ItemSymbols{isLong ? kLongMatchSymbol : length + kMatchSymbolBias,
                       true,
                       isLong,
                       isLong ? length - kLongMatchBase : 0,
                       distance >> kDistanceLowBits,
                       distance & ((1u << kDistanceLowBits) - 1)};
}

AdaptiveCodes::AdaptiveCodes() {
    // Every file entry starts from the same two trees: they are built once and copied.
    static const State kFirstTrees = [] {
        State state{};
        ResetTree(state.symbols);
        ResetTree(state.distances);
        BuildTrees(state);
        return state;
    }();
    state_ = std::make_unique<State>(kFirstTrees);
    rebuildPoint_ = NextRebuildPoint(0);
    generation_ = 1;
}

void AdaptiveCodes::BuildTrees(State& state) {
    RebuildNodes(state.symbols);
    RebuildNodes(state.distances);
    DeriveCodes(state.symbols, state.symbolCodes);
    DeriveCodes(state.distances, state.distanceCodes);
}

void AdaptiveCodes::Rebuild() {
    BuildTrees(*state_);
    rebuildPoint_ = NextRebuildPoint(rebuildPoint_);
    ++generation_;
}

void AdaptiveCodes::CountItem(const ItemSymbols& spelt) {
    CountSymbol(state_->symbols, spelt.symbol);
    if (spelt.isMatch) CountSymbol(state_->distances, spelt.distanceSymbol);
    if (++itemsCounted_ == rebuildPoint_) Rebuild();
}

}  // namespace quorvel::packer
