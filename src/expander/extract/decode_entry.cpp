#include "expander/extract/decode_entry.hpp"

#include "decoder/decode_file_data.hpp"
#include "expander/expander_namespace.hpp"
#include "expander/extract/archive_host.hpp"

namespace quorvel::expander {

void DecodeEntryData(DecoderStorage& storage, std::int32_t remaining, bool skipOutput) {
    ArchiveHost host;
    DecodeFileData(storage, host, remaining);
    if (!skipOutput) FlushWindow(storage.Window, host);
}

}  // namespace quorvel::expander
