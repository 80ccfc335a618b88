#include "extract/extract_entries.hpp"

#include "archive/block_stream.hpp"
#include "console/console.hpp"

namespace quorvel {

// Reads the payload through to its end, so that blocks, their checks and end detection
// run over the whole archive.
void ExtractEntries() {
    EndOfArchive = false;
    while (!EndOfArchive) ArchiveByteReader();
    if (!CloseFile(ArchiveFile)) ReadErrorExit();
}

}  // namespace quorvel
