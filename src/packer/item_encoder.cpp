#include "packer/item_encoder.hpp"

#include <stdexcept>

#include "decoder/item_format.hpp"
#include "decoder/sliding_window.hpp"

namespace quorvel {

Item MatchItem(std::uint32_t length, std::uint32_t distance) {
    if (length < kMinMatchLength || length > kMaxMatchLength)
        throw std::invalid_argument("match length outside 2..4352");
    if (distance < 1 || distance > kMaxDistance)
        throw std::invalid_argument("match distance outside 1..8192");
    return Item{static_cast<std::uint16_t>(length), static_cast<std::uint16_t>(distance), 0};
}

ItemEncoder::ItemEncoder() : trees_(std::make_unique<Trees>()) {
    ResetTree(trees_->symbols);
    ResetTree(trees_->distances);
}

void ItemEncoder::RebuildIfDue() {
    if (symbolsEncoded_ != rebuildPoint_) return;
    RebuildTree(trees_->symbols);
    RebuildTree(trees_->distances);
    DeriveCodes(trees_->symbols, trees_->symbolCodes);
    DeriveCodes(trees_->distances, trees_->distanceCodes);
    rebuildPoint_ = NextRebuildPoint(rebuildPoint_);
}

void ItemEncoder::PutCode(const SymbolCodes& codes, std::uint32_t symbol) {
    writer_.Put(codes[symbol].Bits, codes[symbol].Length);
}

void ItemEncoder::Put(const Item& item) {
    if (!item.IsLiteral()) MatchItem(item.MatchLength, item.MatchDistance);  // range check
    RebuildIfDue();
    ++symbolsEncoded_;
    if (item.IsLiteral()) {
        PutCode(trees_->symbolCodes, item.Literal);
        CountSymbol(trees_->symbols, item.Literal);
        return;
    }
    std::uint32_t length = item.MatchLength;
    bool isLong = length >= kLongMatchBase;
    std::uint32_t symbol = isLong ? kLongMatchSymbol : length + kMatchSymbolBias;
    PutCode(trees_->symbolCodes, symbol);
    CountSymbol(trees_->symbols, symbol);
    if (isLong) writer_.Put(length - kLongMatchBase, kLongMatchBits);
    std::uint32_t distance = item.MatchDistance - 1u;
    std::uint32_t distanceSymbol = distance >> kDistanceLowBits;
    PutCode(trees_->distanceCodes, distanceSymbol);
    CountSymbol(trees_->distances, distanceSymbol);
    writer_.Put(distance & ((1u << kDistanceLowBits) - 1), kDistanceLowBits);
}

std::vector<std::uint8_t> EncodeItems(std::span<const Item> items) {
    ItemEncoder encoder;
    for (const Item& item : items) encoder.Put(item);
    return encoder.Finish();
}

}  // namespace quorvel
