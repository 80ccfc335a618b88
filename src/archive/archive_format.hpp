// Layout constants of a self-extracting file, shared by the Expander, the packer and tools.
#pragma once

#include <cstdint>

namespace quorvel {

// Length of the Expander's executable and offset of the archive behind it.
constexpr std::int32_t StubSize = 20480;
// Data bytes per block of the block stream; each block adds two check bytes.
constexpr std::int32_t kBlockDataSize = 4096;
constexpr std::int32_t kBlockSize = kBlockDataSize + 2;

}  // namespace quorvel
