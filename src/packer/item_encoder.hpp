// Writes items with the two adaptive trees, counting and rebuilding exactly as the decoder
// does, so that every code is the one the decoder's tree holds at that point.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "packer/adaptive_codes.hpp"
#include "packer/bit_writer.hpp"
#include "packer/item.hpp"
#include "packer/packer_namespace.hpp"

namespace quorvel::packer {

class ItemEncoder final : public ItemSink {
public:
    // CodesOnly follows the items with the codes but writes no bits: for a parse whose
    // items serve only to price another.
    enum class Output : bool { Bits, CodesOnly };
    explicit ItemEncoder(Output output = Output::Bits) : writeBits_(output == Output::Bits) {}

    // Writes any item the format can express, whether or not it is valid where it stands.
    void Put(const Item& item);
    bool Take(const Item& item) override {
        Put(item);
        return true;
    }
    // The codes the next item will be written with.
    const AdaptiveCodes& Codes() const { return codes_; }
    // The bytes not yet handed to a piece sink.
    std::vector<std::uint8_t> Finish() { return writer_.Finish(); }

    // Hands the data written so far to `sink` in pieces of about kPieceBytes as they fill,
    // rather than keeping it all until Finish: a large file's data need not be held whole.
    using PieceSink = std::function<void(std::vector<std::uint8_t> piece)>;
    static constexpr std::size_t kPieceBytes = std::size_t{1} << 20;
    void SendPiecesTo(PieceSink sink) { pieceSink_ = std::move(sink); }

private:
    void PutCode(const SymbolCodes& codes, std::uint32_t symbol);

    PieceSink pieceSink_;
    bool writeBits_;
    AdaptiveCodes codes_;
    BitWriter writer_;
};

// The compressed data of one file entry made of these items.
std::vector<std::uint8_t> EncodeItems(std::span<const Item> items);

}  // namespace quorvel::packer
