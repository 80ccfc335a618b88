// Reading the archive's fields one byte at a time from whatever hands out its bytes: the
// Expander's file and block stream, the reader's buffers.
#pragma once

#include <concepts>
#include <cstdint>

namespace quorvel::format {

// NextByte: the next byte; does not return when there is none.
template <typename Source>
concept ByteStream = requires(Source& source) {
    { source.NextByte() } -> std::same_as<std::uint8_t>;
};

// The value of the next `count` bytes, least significant first.
template <ByteStream Source>
std::uint32_t ReadLittleEndian(Source& source, unsigned count) {
    std::uint32_t value = 0;
    for (unsigned i = 0; i < count; ++i) value |= static_cast<std::uint32_t>(source.NextByte()) << (8 * i);
    return value;
}

}  // namespace quorvel::format
