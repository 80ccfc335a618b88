// Compresses data with the encoder and expands it with the decoder's own code; random
// bytes for inputs that do not compress.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "packer/compress.hpp"
#include "support/expand_memory.hpp"

namespace quorvel {

inline std::vector<std::uint8_t> RandomBytes(std::size_t size, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> bytes(size);
    for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(random());
    return bytes;
}

class RoundTripFixture : public ::testing::Test {
protected:
    using Bytes = std::vector<std::uint8_t>;

    // Compresses and expands `data`; the compressed bytes must be used up exactly.
    // Returns the compressed size.
    std::size_t ExpectRoundTrip(const Bytes& data, const Bytes& preset = {}, int effort = 5) {
        Bytes compressed = CompressFileData(preset, data, effort);
        ExpandedData expanded = ExpandFileData(*storage, preset, compressed, static_cast<std::int32_t>(data.size()));
        EXPECT_EQ(expanded.compressedUsed, compressed.size());
        EXPECT_TRUE(expanded.bytes == data) << "size " << data.size() << " effort " << effort;
        return compressed.size();
    }

    std::unique_ptr<DecoderStorage> storage = MakeDecoderStorage();
};

}  // namespace quorvel
