// Writes the archive that follows the Expander: the header (total size, comment, run
// command, password fields) and the payload cut into checked, optionally scrambled blocks.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace quorvel {

struct ArchiveOptions {
    std::string comment;     // shown when the Expander starts; no zero bytes
    std::string runCommand;  // opened after extraction; empty for none
    std::string password;    // empty: not scrambled
    // Any non-zero value; it masks the stored password check.
    std::uint8_t passwordFlag = 0x5A;
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

// Stores the total file size into a header's first four bytes; throws when a file of that
// size could not be opened by the Expander (2^31 bytes or more).
void PatchTotalSize(std::span<std::uint8_t> header, std::uint64_t totalSize);

}  // namespace quorvel
