#include "expander/archive/block_stream.hpp"

#include "expander/archive/open_archive.hpp"
#include "format/crc16.hpp"
#include "expander/console/console.hpp"

namespace quorvel {

std::uint8_t BlockBuffer[kBlockSize];
std::int32_t BlockDataCount;
std::int32_t StreamPosition;
bool EndOfArchive;
std::int32_t BytesLeft;
Crc16Tables CheckTables;

namespace {

// Reads up to one block. A short count only happens at the end of the file; the check
// covers whatever arrived, so a lone trailing byte or two fail it unless they are zero, and
// then the data count is 0 or less and the request ends in a read error.
void ReadBlock() {
    std::uint32_t m = 0;
    if (!ReadSome(ArchiveFile, BlockBuffer, kBlockSize, m)) ReadErrorExit();
    const std::int32_t count = static_cast<std::int32_t>(m);
    BytesLeft -= count;
    if (Scrambled) {
        std::int32_t key = KeyIndex;
        for (std::int32_t i = 0; i < count - 2; ++i) {
            BlockBuffer[i] ^= static_cast<std::uint8_t>(Password.bytes[key - 1]);
            key = key == static_cast<std::int32_t>(Password.length) ? 1 : key + 1;
        }
        KeyIndex = key;
    }
    if (!BlockCheckMatches(CheckTables, BlockBuffer, static_cast<std::uint32_t>(count))) BrokenFileExit();
    BlockDataCount = count - 2;
}

}  // namespace

std::uint8_t ArchiveByteReaderSlow() {
    const std::int32_t p = StreamPosition % kBlockDataSize;
    if (p == 0) ReadBlock();
    if (p >= BlockDataCount) ReadErrorExit();
    if (p == BlockDataCount - 1 && BytesLeft <= 0) EndOfArchive = true;
    ++StreamPosition;
    return BlockBuffer[p];
}

}  // namespace quorvel
