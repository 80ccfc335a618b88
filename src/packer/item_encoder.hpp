// Writes items with the two adaptive trees, counting and rebuilding exactly as the decoder
// does, so that every code is the one the decoder's tree holds at that point.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "decoder/code_tree.hpp"
#include "packer/bit_writer.hpp"
#include "packer/item.hpp"
#include "packer/symbol_codes.hpp"

namespace quorvel {

class ItemEncoder {
public:
    ItemEncoder();
    // Writes any item the format can express, whether or not it is valid where it stands.
    void Put(const Item& item);
    std::vector<std::uint8_t> Finish() { return writer_.Finish(); }

private:
    struct Trees {
        AdaptiveCodeTree symbols;
        AdaptiveCodeTree distances;
        SymbolCodes symbolCodes;
        SymbolCodes distanceCodes;
    };
    void RebuildIfDue();
    void PutCode(const SymbolCodes& codes, std::uint32_t symbol);

    std::unique_ptr<Trees> trees_;
    std::uint32_t symbolsEncoded_ = 0;
    std::uint32_t rebuildPoint_ = 0;
    BitWriter writer_;
};

// The compressed data of one file entry made of these items.
std::vector<std::uint8_t> EncodeItems(std::span<const Item> items);

}  // namespace quorvel
