// How literals and matches are coded with the two trees; shared by decoder and encoder.
#pragma once

#include <cstdint>

namespace quorvel::format {

// SymbolTree: 0..255 literal bytes; 256..510 matches of length 2..256 (symbol = length +
// 254); 511 a long match whose length 257..4352 follows in 12 bits.
constexpr std::uint32_t kFirstMatchSymbol = 256;
constexpr std::uint32_t kLongMatchSymbol = 511;
constexpr std::uint32_t kMatchSymbolBias = 254;
constexpr std::uint32_t kMinMatchLength = 2;
constexpr std::uint32_t kLongMatchBase = 257;
constexpr std::uint32_t kLongMatchBits = 12;
constexpr std::uint32_t kMaxMatchLength = kLongMatchBase + (1u << kLongMatchBits) - 1;
// DistanceTree: symbol d stands for distances 16d + 1 .. 16d + 16; the low 4 bits follow.
constexpr std::uint32_t kDistanceLowBits = 4;
// A match reaches back at most this far, into the file's own bytes or its window preset.
constexpr std::uint32_t kMaxDistance = 8192;

}  // namespace quorvel::format
