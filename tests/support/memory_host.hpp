// A decoder host over memory for the packer, tools and tests: reads from a byte span in
// buffers of a chosen size (as the archive's block stream would), collects the output, and
// throws where the Expander would end the program. It also checks that the decoder keeps
// its side of the bargain: it never consumes more than is lent and gives back only bytes
// still in the current buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <stdexcept>
#include <utility>
#include <vector>

namespace quorvel {

// The data is invalid (the Expander says "This file is broken.").
struct BrokenDataError : std::runtime_error {
    BrokenDataError() : std::runtime_error("compressed data is broken") {}
};
// The data needs more bytes than there are (the Expander fails reading the archive).
struct DataEndError : std::runtime_error {
    DataEndError() : std::runtime_error("compressed data ends early") {}
};

class MemoryHost {
public:
    explicit MemoryHost(std::span<const std::uint8_t> input,
                        std::size_t bufferSize = std::numeric_limits<std::uint32_t>::max());

    std::uint8_t NextByte();
    std::uint32_t Contiguous(const std::uint8_t*& bytes);
    void Consume(std::uint32_t n);
    void GiveBack(std::uint32_t n);
    void WriteOutput(const std::uint8_t* bytes, std::uint32_t n);
    [[noreturn]] void Broken() { throw BrokenDataError(); }

    // Bytes of the input taken so far.
    std::size_t Position() const { return position_; }
    const std::vector<std::uint8_t>& Output() const { return output_; }
    std::vector<std::uint8_t> TakeOutput() { return std::move(output_); }
    const std::vector<std::uint32_t>& PieceSizes() const { return pieceSizes_; }

private:
    std::span<const std::uint8_t> input_;
    std::size_t bufferSize_;
    std::size_t bufferStart_ = 0;
    std::size_t bufferEnd_ = 0;  // nothing is read before the first NextByte
    std::size_t position_ = 0;
    std::size_t lentTaken_ = 0;  // bytes taken by Consume since the last NextByte
    std::vector<std::uint8_t> output_;
    std::vector<std::uint32_t> pieceSizes_;
};

// The same host for the decoder's careful loop alone, as the 32-bit Windows Expander decodes;
// for checking that both loops decode alike.
struct CarefulMemoryHost : MemoryHost {
    using MemoryHost::MemoryHost;
    static constexpr bool kCompactDecoder = true;
};

}  // namespace quorvel
