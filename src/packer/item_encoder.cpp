#include "packer/item_encoder.hpp"

#include <stdexcept>

#include "format/item_format.hpp"
#include "packer/packer_namespace.hpp"

namespace quorvel::packer {

void RefuseMatch(std::uint32_t length) {
    if (length < kMinMatchLength || length > kMaxMatchLength)
        throw std::invalid_argument("match length outside 2..4352");
    throw std::invalid_argument("match distance outside 1..8192");
}

void ItemEncoder::PutCode(const SymbolCodes& codes, std::uint32_t symbol) {
    writer_.Put(codes[symbol].Bits, codes[symbol].Length);
}

void ItemEncoder::Put(const Item& item) {
    const ItemSymbols spelt = SpellItem(item);
    if (writeBits_) {
        PutCode(codes_.SymbolTreeCodes(), spelt.symbol);
        if (spelt.isLong) writer_.Put(spelt.lengthExtra, kLongMatchBits);
        if (spelt.isMatch) {
            PutCode(codes_.DistanceTreeCodes(), spelt.distanceSymbol);
            writer_.Put(spelt.distanceLow, kDistanceLowBits);
        }
        if (pieceSink_ && writer_.WholeBytes() >= kPieceBytes) pieceSink_(writer_.TakeWholeBytes());
    }
    codes_.CountItem(spelt);
}

std::vector<std::uint8_t> EncodeItems(std::span<const Item> items) {
    ItemEncoder encoder;
    for (const Item& item : items) encoder.Put(item);
    return encoder.Finish();
}

}  // namespace quorvel::packer
