#include "packer/bit_writer.hpp"

#include <algorithm>

namespace quorvel {

void BitWriter::Put(std::uint64_t bits, std::uint32_t count) {
    while (count > 0) {
        std::uint32_t take = std::min<std::uint32_t>(count, 32);
        pending_ |= (bits & ((std::uint64_t{1} << take) - 1)) << pendingBits_;
        pendingBits_ += take;
        bits >>= take;
        count -= take;
        for (; pendingBits_ >= 8; pendingBits_ -= 8, pending_ >>= 8)
            bytes_.push_back(static_cast<std::uint8_t>(pending_));
    }
}

std::vector<std::uint8_t> BitWriter::Finish() {
    if (pendingBits_ > 0) bytes_.push_back(static_cast<std::uint8_t>(pending_));
    pending_ = 0;
    pendingBits_ = 0;
    return std::move(bytes_);
}

}  // namespace quorvel
