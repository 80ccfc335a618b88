// Compressing one file entry's remaining bytes, optionally against a preset window.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace quorvel {

std::vector<std::uint8_t> CompressFileData(std::span<const std::uint8_t> preset,
                                           std::span<const std::uint8_t> data, int effort);

}  // namespace quorvel
