#include "packer/compress.hpp"

#include "packer/parse_by_effort.hpp"

namespace quorvel::packer {
namespace {

// Data shorter than this is parsed on the compressing thread alone: a second thread
// would cost about as much as it saves.
constexpr std::size_t kTwoThreadsFrom = std::size_t{1} << 20;

}  // namespace

std::vector<std::uint8_t> CompressFileData(std::span<const std::uint8_t> preset,
                                           std::span<const std::uint8_t> data, int effort,
                                           const CompressHooks& hooks, ItemEncoder::PieceSink pieces,
                                           bool twoThreads) {
    ItemEncoder encoder;
    encoder.SendPiecesTo(std::move(pieces));
    FindItems(preset, data, effort, encoder, hooks, twoThreads && data.size() >= kTwoThreadsFrom);
    if (hooks.progress) hooks.progress(data.size());
    return encoder.Finish();
}

}  // namespace quorvel::packer
