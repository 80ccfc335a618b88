#include "support/memory_host.hpp"

#include <algorithm>

namespace quorvel {

MemoryHost::MemoryHost(std::span<const std::uint8_t> input, std::size_t bufferSize)
    : input_(input), bufferSize_(bufferSize) {
    if (bufferSize == 0) throw std::invalid_argument("buffer size 0");
}

std::uint8_t MemoryHost::NextByte() {
    if (position_ == bufferEnd_) {
        // Reads the next buffer; the bytes of the previous one are gone.
        if (position_ == input_.size()) throw DataEndError();
        bufferStart_ = position_;
        bufferEnd_ = std::min(input_.size(), position_ + bufferSize_);
    }
    lentTaken_ = 0;  // GiveBack may only return bytes taken after this one
    return input_[position_++];
}

std::uint32_t MemoryHost::Contiguous(const std::uint8_t*& bytes) {
    bytes = input_.data() + position_;
    return static_cast<std::uint32_t>(bufferEnd_ - position_);
}

void MemoryHost::Consume(std::uint32_t n) {
    if (n > bufferEnd_ - position_) throw std::logic_error("consumed more than was lent");
    position_ += n;
    lentTaken_ += n;
}

void MemoryHost::GiveBack(std::uint32_t n) {
    if (n > lentTaken_ || n > position_ - bufferStart_)
        throw std::logic_error("gave back bytes that were not lent from the current buffer");
    position_ -= n;
    lentTaken_ -= n;
}

void MemoryHost::WriteOutput(const std::uint8_t* bytes, std::uint32_t n) {
    output_.insert(output_.end(), bytes, bytes + n);
    pieceSizes_.push_back(n);
}

}  // namespace quorvel
