// What the decoder needs from its surroundings: a byte source that can lend runs of bytes
// and take back the ones not used, an output for finished window pieces, and a way out for
// data that cannot be valid.
#pragma once

#include <concepts>
#include <cstdint>

namespace quorvel::decoder {

// NextByte: the next byte of the stream; may read new data; does not return on failure.
// Contiguous: how many further bytes can be taken right now without reading anything new,
//   and where they are; may be 0.
// Consume: takes n of those. GiveBack: returns the last n bytes taken by Consume; the
//   decoder calls NextByte only while it holds no whole unused byte, so they are still in
//   the host's current buffer.
// WriteOutput: one piece of output for the open output file (never called when skipping).
// Broken: the data is invalid; does not return.
template <typename Host>
concept DecoderHost = requires(Host& host, const std::uint8_t*& bytes, std::uint32_t n) {
    { host.NextByte() } -> std::same_as<std::uint8_t>;
    { host.Contiguous(bytes) } -> std::same_as<std::uint32_t>;
    host.Consume(n);
    host.GiveBack(n);
    host.WriteOutput(static_cast<const std::uint8_t*>(bytes), n);
    host.Broken();
};

}  // namespace quorvel::decoder
