// Writes the archive that follows the Expander: the header (total size, comment, run
// command, password fields) and the payload cut into checked, optionally scrambled blocks.
#pragma once

#include <cstdint>
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

// The blocks of 4096 data bytes, each followed by its Crc16 (high byte first); the data
// bytes XOR-ed with the password when there is one.
std::vector<std::uint8_t> BuildBlockStream(std::span<const std::uint8_t> payload,
                                           const std::string& password);

// Header and block stream. Its TotalSize counts the Expander in front of it.
std::vector<std::uint8_t> BuildArchive(const ArchiveOptions& options,
                                       std::span<const std::uint8_t> payload);

}  // namespace quorvel
