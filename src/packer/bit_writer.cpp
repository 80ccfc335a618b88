#include "packer/bit_writer.hpp"

#include <algorithm>

namespace quorvel::packer {

namespace {

constexpr std::uint32_t kFlushBits = 32;  // bits passed on to the bytes at a time

}  // namespace

void BitWriter::Put(std::uint64_t bits, std::uint32_t count) {
    while (count > 0) {
        const std::uint32_t take = std::min<std::uint32_t>(count, kFlushBits);
        pending_ |= (bits & ((std::uint64_t{1} << take) - 1)) << pendingBits_;
        pendingBits_ += take;
        bits >>= take;
        count -= take;
        if (pendingBits_ >= kFlushBits) {
            const std::uint8_t word[] = {static_cast<std::uint8_t>(pending_), static_cast<std::uint8_t>(pending_ >> 8),
                                         static_cast<std::uint8_t>(pending_ >> 16),
                                         static_cast<std::uint8_t>(pending_ >> 24)};
            bytes_.insert(bytes_.end(), word, word + sizeof word);
            pending_ >>= kFlushBits;
            pendingBits_ -= kFlushBits;
        }
    }
}

std::vector<std::uint8_t> BitWriter::Finish() {
    for (; pendingBits_ > 0; pendingBits_ -= std::min<std::uint32_t>(pendingBits_, 8), pending_ >>= 8)
        bytes_.push_back(static_cast<std::uint8_t>(pending_));
    pending_ = 0;
    return std::move(bytes_);
}

}  // namespace quorvel::packer
