// Fuzz target for the decoder: any bytes, any preset, any size up to 128 KB, any host
// buffer size, written or skipped.
// The input's first 8 bytes choose the set-up, the rest is compressed data. Decoding must
// end in a result of exactly the requested size, in BrokenDataError or in DataEndError,
// and never touch memory outside its storage (the sanitizers watch that); the fast loop and
// the careful loop alone must end the same way with the same output.

#include <array>
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
#include "support/expand_memory.hpp"
#include "support/memory_host.hpp"
#include "support/parts.hpp"

namespace quorvel::fuzz {

// Compressed text with some random bytes, up to 3000 bytes (past the trees' first
// rebuilds; longer seeds made every run slower and took fuzzing no further), at low effort
// written out and at high effort skipped, in small host buffers.
std::vector<Bytes> SeedInputs() {
    std::vector<Bytes> seeds;
    std::mt19937 random(12345);
    for (std::size_t size : {1, 100, 1000, 3000}) {
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

namespace {

// What one decoding gave: how it ended, the output and how many input bytes it took. Where
// decoding fails, the position is not part of the result: the Expander stops there.
struct Outcome {
    int ending;  // 0: done, 1: broken, 2: data ended
    quorvel::fuzz::Bytes output;
    std::size_t position;
    bool operator==(const Outcome& other) const {
        return ending == other.ending && output == other.output && (ending != 0 || position == other.position);
    }
};

template <typename Host>
Outcome Decode(quorvel::DecoderStorage& storage, std::span<const std::uint8_t> setup, std::span<const std::uint8_t> data,
               const std::uint8_t* preset, std::size_t presetLength, std::int32_t remaining, std::int32_t sharedPrefix) {
    const std::size_t bufferSize = setup[7] == 0 ? SIZE_MAX : setup[7];
    quorvel::SlidingWindow& window = storage.Window;
    std::memcpy(window.Bytes, preset, presetLength);
    quorvel::StartWindow(window, static_cast<std::int32_t>(presetLength), sharedPrefix,
                         &storage.History.Slots[setup[6]], setup[7] & 1);
    Host host(data, bufferSize);
    int ending = 0;
    try {
        quorvel::DecodeFileData(storage, host, remaining);
        quorvel::FlushWindow(window, host);
        std::size_t expected = window.SkipOutput ? 0 : static_cast<std::size_t>(remaining);
        if (host.Output().size() != expected || host.Position() > data.size()) std::abort();
    } catch (const quorvel::BrokenDataError&) {
        ending = 1;
    } catch (const quorvel::DataEndError&) {
        ending = 2;
    }
    return {ending, host.TakeOutput(), host.Position()};
}

}  // namespace

// The fast loop (MemoryHost) and the careful loop alone (CarefulMemoryHost) must end alike.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::unique_ptr<quorvel::DecoderStorage> storage = quorvel::MakeDecoderStorage();
    // Preset bytes: a pattern, taken from an offset the input chooses rather than made anew.
    static const auto pattern = [] {
        std::array<std::uint8_t, quorvel::kMaxDistance + 256> bytes;
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 131);
        return bytes;
    }();
    if (size < 8) return 0;
    std::size_t presetLength = (data[0] | data[1] << 8) % (quorvel::kMaxDistance + 1);
    const std::uint8_t* preset = pattern.data() + data[0];
    // Up to 128 KB: the window slides four times, and a decoding stays cheap.
    std::int32_t remaining = static_cast<std::int32_t>(data[2] | data[3] << 8 | (data[4] & 0x01) << 16);
    std::int32_t sharedPrefix = (data[5] | (data[6] & 0x3F) << 8) % (quorvel::kSlotSize + 1);
    const std::span<const std::uint8_t> setup(data, 8), compressed(data + 8, size - 8);
    const Outcome fast = Decode<quorvel::MemoryHost>(*storage, setup, compressed, preset, presetLength, remaining, sharedPrefix);
    const Outcome careful =
        Decode<quorvel::CarefulMemoryHost>(*storage, setup, compressed, preset, presetLength, remaining, sharedPrefix);
    if (!(fast == careful)) std::abort();
    return 0;
}
