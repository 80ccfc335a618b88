// The decoder's view of the block stream: bytes one at a time through the block reader, runs
// of bytes lent straight from the current block, output to the open output file.
#pragma once

#include <cstdint>

#include "expander/archive/block_stream.hpp"
#include "expander/console/console.hpp"
#include "expander/expander_namespace.hpp"

namespace quorvel::expander {

struct ArchiveHost {
    std::uint8_t NextByte() { return ArchiveByteReader(); }

    // The bytes of the current block behind the stream position, except its last one, whose
    // reading may raise EndOfArchive and so always goes through the block reader. Nothing
    // is lent at a block boundary, where the next block has not been read.
    std::uint32_t Contiguous(const std::uint8_t*& bytes) {
        const std::int32_t p = StreamPosition & (kBlockDataSize - 1);
        const std::int32_t n = BlockDataCount - 1 - p;
        if (p == 0 || n <= 0) return 0;
        bytes = BlockBuffer + p;
        return static_cast<std::uint32_t>(n);
    }
    void Consume(std::uint32_t n) { StreamPosition += static_cast<std::int32_t>(n); }
    void GiveBack(std::uint32_t n) { StreamPosition -= static_cast<std::int32_t>(n); }

    void WriteOutput(const std::uint8_t* bytes, std::uint32_t n) {
        if (!WriteExact(OutputFile, bytes, n)) WriteErrorExit();
    }
    [[noreturn]] void Broken() { BrokenFileExit(); }
};

}  // namespace quorvel::expander
