// Writes the archive that follows the Expander: the header (total size, comment, run
// command, password fields) and the payload cut into checked, optionally scrambled blocks.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quorvel::packer {

struct ArchiveOptions {
    std::string comment;     // shown when the Expander starts; no zero bytes
    std::string runCommand;  // opened after extraction; empty for none
    std::string password;    // empty: not scrambled
    // Any non-zero value; it masks the stored password check. Without one, a value is
    // taken from the password, so that the same inputs give the same file.
    std::optional<std::uint8_t> passwordFlag;
};

// The header as stored, with its TotalSize field still 0.
std::vector<std::uint8_t> BuildHeader(const ArchiveOptions& options);

// Cuts a payload that arrives in pieces into blocks of 4096 data bytes, each followed by
// its Crc16 (high byte first), scrambling the data bytes with the password when there is
// one, and hands finished blocks to the sink.
class BlockStreamWriter {
public:
    using Sink = std::function<void(std::span<const std::uint8_t>)>;
    BlockStreamWriter(std::string password, Sink sink);
    void Append(std::span<const std::uint8_t> payload);
    // Writes the last, shorter block. The payload must not be empty.
    void Finish();

private:
    void WriteBlock();

    std::string password_;
    std::size_t keyIndex_ = 0;
    Sink sink_;
    std::vector<std::uint8_t> block_;
    std::uint64_t written_ = 0;
};

std::vector<std::uint8_t> BuildBlockStream(std::span<const std::uint8_t> payload,
                                           const std::string& password);

// Header and block stream. Its TotalSize counts the Expander in front of it.
std::vector<std::uint8_t> BuildArchive(const ArchiveOptions& options,
                                       std::span<const std::uint8_t> payload);

// Stores the total file size into a header's first four bytes; throws std::length_error
// when a file of that size could not be opened by the Expander (2^31 bytes or more).
void PatchTotalSize(std::span<std::uint8_t> header, std::uint64_t totalSize);

// A whole self-extracting file, written front to back: the Expander, the header, then the
// payload in blocks as it arrives; at the end the header's TotalSize, written back in place.
class ArchiveWriter {
public:
    struct Output {
        std::function<void(std::span<const std::uint8_t>)> write;  // appends to the file
        std::function<void(std::uint64_t offset, std::span<const std::uint8_t>)> writeAt;  // overwrites
    };
    ArchiveWriter(std::span<const std::uint8_t> stub, const ArchiveOptions& options, Output output);

    // Throws std::length_error as soon as the file would reach 2^31 bytes.
    void Append(std::span<const std::uint8_t> payload) { blocks_.Append(payload); }
    void Finish();
    // Bytes of the file written so far.
    std::uint64_t Size() const { return size_; }

private:
    void Write(std::span<const std::uint8_t> bytes);

    Output output_;
    std::uint64_t size_ = 0;
    std::uint64_t headerOffset_;
    std::vector<std::uint8_t> header_;
    BlockStreamWriter blocks_;
};

}  // namespace quorvel::packer
