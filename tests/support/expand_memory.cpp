#include "support/expand_memory.hpp"

#include <cstring>
#include <stdexcept>

#include "decoder/decode_file_data.hpp"
#include "support/memory_host.hpp"

namespace quorvel {

std::unique_ptr<DecoderStorage> MakeDecoderStorage() {
    return std::make_unique<DecoderStorage>();
}

ExpandedData ExpandFileData(DecoderStorage& storage, std::span<const std::uint8_t> preset,
                            std::span<const std::uint8_t> compressed, std::int32_t size,
                            const ExpandOptions& options) {
    if (preset.size() > kMaxDistance) throw std::invalid_argument("preset longer than 8192 bytes");
    SlidingWindow& window = storage.Window;
    if (!preset.empty()) std::memcpy(window.Bytes, preset.data(), preset.size());
    StartWindow(window, static_cast<std::int32_t>(preset.size()), options.sharedPrefixLength,
                options.currentSlot, false);
    MemoryHost host(compressed, options.bufferSize);
    DecodeFileData(storage, host, size);
    FlushWindow(window, host);
    return ExpandedData{host.Output(), host.Position(), host.PieceSizes()};
}

}  // namespace quorvel
