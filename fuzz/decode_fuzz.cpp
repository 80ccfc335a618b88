// Fuzz target for the decoder: any bytes, any preset, any size, any host buffer size.
// The input's first 8 bytes choose the set-up, the rest is compressed data. Decoding must
// end in a result of exactly the requested size, in BrokenDataError or in DataEndError,
// and never touch memory outside its storage (the sanitizers watch that).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>

#include "packer/expand_memory.hpp"
#include "packer/memory_host.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::unique_ptr<quorvel::DecoderStorage> storage = quorvel::MakeDecoderStorage();
    static std::uint8_t preset[quorvel::kMaxDistance];
    if (size < 8) return 0;
    std::size_t presetLength = (data[0] | data[1] << 8) % (quorvel::kMaxDistance + 1);
    std::int32_t remaining = static_cast<std::int32_t>(data[2] | data[3] << 8 | (data[4] & 0x0F) << 16);
    std::int32_t sharedPrefix = (data[5] | (data[6] & 0x3F) << 8) % (quorvel::kSlotSize + 1);
    std::size_t bufferSize = data[7] == 0 ? SIZE_MAX : data[7];
    for (std::size_t i = 0; i < presetLength; ++i) preset[i] = static_cast<std::uint8_t>(i * 131 + data[0]);

    quorvel::ExpandOptions options;
    options.sharedPrefixLength = sharedPrefix;
    options.currentSlot = &storage->History.Slots[data[6]];
    options.bufferSize = bufferSize;
    std::span<const std::uint8_t> compressed(data + 8, size - 8);
    try {
        quorvel::ExpandedData result =
            quorvel::ExpandFileData(*storage, std::span(preset, presetLength), compressed, remaining, options);
        if (result.bytes.size() != static_cast<std::size_t>(remaining) || result.compressedUsed > compressed.size())
            std::abort();
    } catch (const quorvel::BrokenDataError&) {
    } catch (const quorvel::DataEndError&) {
    }
    return 0;
}
