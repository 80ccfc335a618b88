// The bytes a parse works on: a window preset followed by the data, numbered from the
// preset's first byte. Only the preset and the data's first bytes are copied side by side;
// further on, runs are read in the data itself, so that a large file with a preset costs
// no copy of its own. Every run the match finders read around a position, up to 8192 bytes
// before it and 4352 from it, lies in one piece of memory.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace quorvel::packer {

class JoinedBytes {
public:
    JoinedBytes() = default;
    // Bytes already in one piece.
    explicit JoinedBytes(std::span<const std::uint8_t> bytes)
        : head_(bytes.data()), headEnd_(bytes.size()), tail_(bytes.data()), size_(bytes.size()) {}
    // `preset` then `data`; `joined` receives the copied part and must outlive this.
    JoinedBytes(std::span<const std::uint8_t> preset, std::span<const std::uint8_t> data,
                std::vector<std::uint8_t>& joined);

    std::size_t size() const { return size_; }
    // The byte at `position`; the bytes from 8192 before it to 4352 after it, as far as
    // there are any, follow and precede it in memory.
    const std::uint8_t* At(std::size_t position) const {
        return position < headEnd_ ? head_ + position : tail_ + (position - tailStart_);
    }
    std::uint8_t operator[](std::size_t position) const { return *At(position); }

private:
    const std::uint8_t* head_ = nullptr;  // positions below headEnd_ are read here
    std::size_t headEnd_ = 0;
    const std::uint8_t* tail_ = nullptr;  // the others here, tail_[0] being position tailStart_
    std::size_t tailStart_ = 0;
    std::size_t size_ = 0;
};

}  // namespace quorvel::packer
