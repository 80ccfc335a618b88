// Compressing one file entry's remaining bytes, optionally against a preset window.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "packer/compress_progress.hpp"

namespace quorvel::packer {

std::vector<std::uint8_t> CompressFileData(std::span<const std::uint8_t> preset,
                                           std::span<const std::uint8_t> data, int effort,
                                           const CompressProgress& progress = {});

}  // namespace quorvel::packer
