// The input of the archive fuzz targets, and what they share: an options byte, a text (the
// password, or what is typed at the Expander's questions) and the archive behind a stub of
// zero bytes, or behind the front of a stub taken from the input.
//
// Layout: options, text length n, n bytes of text, [with kStubFromInput: m, then 8 * m bytes
// that begin the stub], the archive.
//
// The archive can be mended where a mutation would stop every read at once: its total size
// set to the file's length, every block's check made anew from its data, so that damage
// reaches the records and the compressed data behind them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_target.hpp"
#include "reader/archive_reader.hpp"

namespace quorvel::fuzz {

enum InputOption : std::uint8_t {
    kFixTotalSize = 1,
    kResealBlocks = 2,
    kStubFromInput = 4,
    // Bits 3 to 7 are the target's own.
};

struct ArchiveInput {
    std::uint8_t options = 0;
    std::string text;
    Bytes file;  // the stub and the archive
};

// With kFixTotalSize, the total size is the file's length.
ArchiveInput ParseArchiveInput(std::span<const std::uint8_t> data);
Bytes EncodeArchiveInput(std::uint8_t options, const std::string& text, std::span<const std::uint8_t> archive);

// The header, if it can be read.
std::optional<reader::ArchiveHeader> HeaderOf(const Bytes& file);

// Gives every block with data the check of its plain data, descrambled with key when the
// archive is scrambled.
void ResealBlocks(Bytes& file, const reader::ArchiveHeader& header, std::string_view key);

// The answer the Expander accepts when `typed` is its standard input: the first of three
// lines whose check matches; empty when none does or the archive is not scrambled.
std::string AcceptedPassword(std::string_view typed, const reader::ArchiveHeader& header);

struct ReadEntry {
    reader::Entry entry;
    // When collected: in a buffer of the process, until the next read that collects.
    std::span<const std::uint8_t> data;
};

struct ReadOutcome {
    std::vector<ReadEntry> entries;
    std::optional<reader::ArchiveError> error;
    // Collecting stopped once the data decoded passed the limit.
    bool capped = false;
};

// Reads the whole archive with the reader, collecting each file's data (up to
// kCollectLimit bytes in all, valid until the next read that collects) or dropping it.
// Only ArchiveError is caught.
constexpr std::uint64_t kCollectLimit = 1 << 21;
ReadOutcome ReadWithReader(const Bytes& file, const reader::ReaderOptions& options, bool collect);

// Seed archives: a small sample archive, alone and with the ring wrapped, with and without
// a password, a comment and a run command, and a file name given twice.
struct SeedArchive {
    std::string password;
    Bytes archive;
};
std::vector<SeedArchive> SeedArchives();

}  // namespace quorvel::fuzz
