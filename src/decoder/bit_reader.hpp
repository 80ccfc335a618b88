// The bit reader: bits least-significant first, buffered in a machine word. Bytes are
// prefetched only from what the host can lend without reading; beyond that a byte is
// fetched only when its first bit is needed, so nothing after the data is ever consumed.
#pragma once

#include <cstdint>
#include <cstring>

#include "decoder/decoder_host.hpp"

namespace quorvel::decoder {

using BitWord = std::uintptr_t;
constexpr std::uint32_t kBitWordBits = sizeof(BitWord) * 8;

struct BitReader {
    // Unread bits, the next one in bit 0; bits from BitsHeld upwards are zero.
    BitWord BitBuffer;
    std::uint32_t BitsHeld;
};

inline void StartBits(BitReader& reader) {
    reader.BitBuffer = 0;
    reader.BitsHeld = 0;
}

// Tops the buffer up with whole bytes the host can lend right now.
template <DecoderHost Host>
inline void RefillBits(BitReader& reader, Host& host) {
    const std::uint8_t* bytes;
    std::uint32_t available = host.Contiguous(bytes);
    std::uint32_t held = reader.BitsHeld;
    std::uint32_t take = (kBitWordBits - held) >> 3;
    if (take > available) take = available;
    if (take == 0) return;
    BitWord buffer = reader.BitBuffer;
    if (available >= sizeof(BitWord)) {
        BitWord word;
        std::memcpy(&word, bytes, sizeof word);  // little-endian: first byte lowest
        buffer |= word << held;
        held += take * 8;
        buffer &= ~BitWord(0) >> (kBitWordBits - held);  // drop part of a byte not taken
    } else {
        for (std::uint32_t i = 0; i < take; ++i, held += 8) buffer |= BitWord(bytes[i]) << held;
    }
    host.Consume(take);
    reader.BitBuffer = buffer;
    reader.BitsHeld = held;
}

inline void DropBits(BitReader& reader, std::uint32_t n) {
    reader.BitBuffer >>= n;
    reader.BitsHeld -= n;
}

// One bit; fetches a byte with NextByte only when none is buffered or lendable.
template <DecoderHost Host>
inline std::uint32_t TakeBit(BitReader& reader, Host& host) {
    if (reader.BitsHeld == 0) [[unlikely]] {
        RefillBits(reader, host);
        if (reader.BitsHeld == 0) {
            reader.BitBuffer = host.NextByte();
            reader.BitsHeld = 8;
        }
    }
    std::uint32_t bit = static_cast<std::uint32_t>(reader.BitBuffer & 1);
    DropBits(reader, 1);
    return bit;
}

// Makes sure at least n (at most 25) bits are buffered if the host can lend them;
// false when fewer are at hand without fetching.
template <DecoderHost Host>
inline bool HaveBits(BitReader& reader, Host& host, std::uint32_t n) {
    if (reader.BitsHeld < n) RefillBits(reader, host);
    return reader.BitsHeld >= n;
}

template <DecoderHost Host>
inline std::uint32_t TakeBitsOneByOne(BitReader& reader, Host& host, std::uint32_t n) {
    std::uint32_t value = 0;
    for (std::uint32_t i = 0; i < n; ++i) value |= TakeBit(reader, host) << i;
    return value;
}

// An n-bit number (n at most 16), least-significant bit first.
template <DecoderHost Host>
inline std::uint32_t TakeBits(BitReader& reader, Host& host, std::uint32_t n) {
    if (!HaveBits(reader, host, n)) [[unlikely]]
        return TakeBitsOneByOne(reader, host, n);
    std::uint32_t value = static_cast<std::uint32_t>(reader.BitBuffer) & ((1u << n) - 1);
    DropBits(reader, n);
    return value;
}

// Hands the whole bytes prefetched and not used back to the host; the rest of a partly
// used byte is abandoned, so the next record starts at the next byte.
template <DecoderHost Host>
inline void EndBits(BitReader& reader, Host& host) {
    std::uint32_t unused = reader.BitsHeld >> 3;
    if (unused != 0) host.GiveBack(unused);
    StartBits(reader);
}

}  // namespace quorvel::decoder
