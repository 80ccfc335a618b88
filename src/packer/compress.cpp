#include "packer/compress.hpp"

#include "packer/item_encoder.hpp"
#include "packer/parse_by_effort.hpp"

namespace quorvel::packer {

std::vector<std::uint8_t> CompressFileData(std::span<const std::uint8_t> preset,
                                           std::span<const std::uint8_t> data, int effort,
                                           const CompressProgress& progress) {
    ItemEncoder encoder;
    FindItems(preset, data, effort, encoder, progress);
    if (progress) progress(data.size());
    return encoder.Finish();
}

}  // namespace quorvel::packer
