// Collects bits least-significant first into bytes, the order the decoder reads them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace quorvel::packer {

class BitWriter {
public:
    // Appends the low `count` bits of `bits` (count up to 64), bit 0 first.
    void Put(std::uint64_t bits, std::uint32_t count);
    // The bytes written; a partly filled last byte is completed with zero bits.
    std::vector<std::uint8_t> Finish();
    // The whole bytes written so far, handed over: Finish then gives only those after them.
    std::vector<std::uint8_t> TakeWholeBytes() { return std::exchange(bytes_, {}); }
    std::size_t WholeBytes() const { return bytes_.size(); }

private:
    std::vector<std::uint8_t> bytes_;
    std::uint64_t pending_ = 0;
    std::uint32_t pendingBits_ = 0;
};

}  // namespace quorvel::packer
