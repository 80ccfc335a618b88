#include "packer/compress.hpp"

#include "packer/parse_by_effort.hpp"

namespace quorvel::packer {

std::vector<std::uint8_t> CompressFileData(std::span<const std::uint8_t> preset,
                                           std::span<const std::uint8_t> data, int effort,
                                           const CompressHooks& hooks, ItemEncoder::PieceSink pieces) {
    ItemEncoder encoder;
    encoder.SendPiecesTo(std::move(pieces));
    FindItems(preset, data, effort, encoder, hooks);
    if (hooks.progress) hooks.progress(data.size());
    return encoder.Finish();
}

}  // namespace quorvel::packer
