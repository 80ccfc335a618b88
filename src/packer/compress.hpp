// Compressing one file entry's remaining bytes, optionally against a preset window.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "packer/compress_progress.hpp"
#include "packer/item_encoder.hpp"

namespace quorvel::packer {

// The compressed data; with `pieces`, all of it but the last bytes goes there as it is made
// and only those last bytes are returned. With `twoThreads`, a large file is parsed on two
// threads, one searching or parsing ahead of the other; the data is the same.
std::vector<std::uint8_t> CompressFileData(std::span<const std::uint8_t> preset,
                                           std::span<const std::uint8_t> data, int effort,
                                           const CompressHooks& hooks = {},
                                           ItemEncoder::PieceSink pieces = {}, bool twoThreads = false);

}  // namespace quorvel::packer
