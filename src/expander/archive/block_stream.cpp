#include "expander/archive/block_stream.hpp"

#include "expander/archive/open_archive.hpp"
#include "expander/console/console.hpp"
#include "expander/expander_namespace.hpp"
#include "format/scrambling.hpp"

namespace quorvel::expander {

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
    // KeyIndex counts the password's characters from 1. Password is empty unless Scrambled.
    std::size_t key = static_cast<std::size_t>(KeyIndex - 1);
    if (!OpenBlock(CheckTables, BlockBuffer, m, Password.bytes, Password.length, key)) BrokenFileExit();
    KeyIndex = static_cast<std::int32_t>(key + 1);
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

}  // namespace quorvel::expander
