// Where the reader takes the archive's bytes from: a file or memory, read at any offset.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>

namespace quorvel::reader {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t Size() const = 0;
    // Reads up to out.size() bytes at offset; returns how many it read (fewer only at the
    // end). Throws ArchiveError (Unreadable) when the read fails.
    virtual std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::uint64_t Size() const override { return bytes_.size(); }
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
        if (offset >= bytes_.size()) return 0;
        const std::size_t n = std::min<std::uint64_t>(out.size(), bytes_.size() - offset);
        std::memcpy(out.data(), bytes_.data() + offset, n);
        return n;
    }

private:
    std::span<const std::uint8_t> bytes_;
};

}  // namespace quorvel::reader
