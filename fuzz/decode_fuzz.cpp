// Fuzz target for the decoder: any bytes, any preset, any size, any host buffer size,
// written or skipped.
// The input's first 8 bytes choose the set-up, the rest is compressed data. Decoding must
// end in a result of exactly the requested size, in BrokenDataError or in DataEndError,
// and never touch memory outside its storage (the sanitizers watch that).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <span>

#include "decoder/decode_file_data.hpp"
#include "fuzz_target.hpp"
#include "packer/compress.hpp"
#include "packer/expand_memory.hpp"
#include "packer/memory_host.hpp"

namespace quorvel::fuzz {

// Compressed text with some random bytes, up to a window and a half long, at low effort
// written out and at high effort skipped, in small host buffers.
std::vector<Bytes> SeedInputs() {
    std::vector<Bytes> seeds;
    std::mt19937 random(12345);
    for (std::size_t size : {1, 100, 5000, 12000}) {
        Bytes data;
        for (std::size_t i = 0; i < size; ++i)
            data.push_back(static_cast<std::uint8_t>(random() % 4 ? "abcabdabe"[i % 9] : random()));
        for (int effort : {1, 6}) {
            Bytes input{0, 0, static_cast<std::uint8_t>(size), static_cast<std::uint8_t>(size >> 8),
                        static_cast<std::uint8_t>(size >> 16), static_cast<std::uint8_t>(effort * 40), 1,
                        static_cast<std::uint8_t>(effort == 1 ? 0 : 17)};
            const Bytes compressed = CompressFileData({}, data, effort);
            input.insert(input.end(), compressed.begin(), compressed.end());
            seeds.push_back(input);
        }
    }
    return seeds;
}

}  // namespace quorvel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::unique_ptr<quorvel::DecoderStorage> storage = quorvel::MakeDecoderStorage();
    static std::uint8_t preset[quorvel::kMaxDistance];
    if (size < 8) return 0;
    std::size_t presetLength = (data[0] | data[1] << 8) % (quorvel::kMaxDistance + 1);
    std::int32_t remaining = static_cast<std::int32_t>(data[2] | data[3] << 8 | (data[4] & 0x0F) << 16);
    std::int32_t sharedPrefix = (data[5] | (data[6] & 0x3F) << 8) % (quorvel::kSlotSize + 1);
    std::size_t bufferSize = data[7] == 0 ? SIZE_MAX : data[7];
    for (std::size_t i = 0; i < presetLength; ++i) preset[i] = static_cast<std::uint8_t>(i * 131 + data[0]);

    quorvel::SlidingWindow& window = storage->Window;
    std::memcpy(window.Bytes, preset, presetLength);
    quorvel::StartWindow(window, static_cast<std::int32_t>(presetLength), sharedPrefix,
                         &storage->History.Slots[data[6]], data[7] & 1);
    quorvel::MemoryHost host(std::span(data + 8, size - 8), bufferSize);
    try {
        quorvel::DecodeFileData(*storage, host, remaining);
        quorvel::FlushWindow(window, host);
        std::size_t expected = window.SkipOutput ? 0 : static_cast<std::size_t>(remaining);
        if (host.Output().size() != expected || host.Position() > size - 8) std::abort();
    } catch (const quorvel::BrokenDataError&) {
    } catch (const quorvel::DataEndError&) {
    }
    return 0;
}
