// Decoding a file entry's compressed data held in memory, for tools, tests and benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <span>
#include <vector>

#include "decoder/decoder_storage.hpp"
#include "support/parts.hpp"

namespace quorvel {

// Zero-initialised storage on the heap.
std::unique_ptr<DecoderStorage> MakeDecoderStorage();

struct ExpandedData {
    std::vector<std::uint8_t> bytes;
    std::size_t compressedUsed;  // input bytes the data occupied
    std::vector<std::uint32_t> pieceSizes;  // the window's output pieces
};

struct ExpandOptions {
    std::int32_t sharedPrefixLength = 0;
    HistorySlot* currentSlot = nullptr;  // receives the file's first bytes when set
    std::size_t bufferSize = std::numeric_limits<std::uint32_t>::max();  // as MemoryHost
};

// Decodes `size` bytes from `compressed` with the window preset to `preset` (up to 8192
// bytes). Throws BrokenDataError or DataEndError for bad data.
ExpandedData ExpandFileData(DecoderStorage& storage, std::span<const std::uint8_t> preset,
                            std::span<const std::uint8_t> compressed, std::int32_t size,
                            const ExpandOptions& options = {});

}  // namespace quorvel
