// The archive's payload, handed out one byte at a time from blocks of 4096 data bytes, each
// verified by its Crc16 (and descrambled) before any of its bytes leaves.
#pragma once

#include <cstdint>

#include "expander/expander_namespace.hpp"
#include "format/archive_format.hpp"
#include "format/crc16.hpp"

namespace quorvel::expander {

extern std::uint8_t BlockBuffer[kBlockSize];
// Data bytes in the block in BlockBuffer: bytes read minus 2.
extern std::int32_t BlockDataCount;
// Payload bytes handed out so far.
extern std::int32_t StreamPosition;
// Raised with the last payload byte of the file; never cleared here.
extern bool EndOfArchive;
// Bytes of the file behind the last one read; the file ends where it reaches 0.
extern std::int32_t BytesLeft;
// The check's remainder tables, filled when the archive is opened (filling them takes less
// room in the program than carrying them).
extern Crc16Tables CheckTables;

// Reads and checks the next block when the position within the block is 0, ends the
// program on a damaged block or a request past the end, raises EndOfArchive.
std::uint8_t ArchiveByteReaderSlow();

// The next payload byte. The common case, a byte inside the current block that is neither
// its first nor its last, costs two comparisons.
inline std::uint8_t ArchiveByteReader() {
    std::int32_t p = StreamPosition & (kBlockDataSize - 1);
    if (p != 0 && p < BlockDataCount - 1) {
        ++StreamPosition;
        return BlockBuffer[p];
    }
    return ArchiveByteReaderSlow();
}

}  // namespace quorvel::expander
