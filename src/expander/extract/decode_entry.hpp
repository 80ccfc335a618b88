// Decoding a file entry's data from the block stream into the open output file. Kept apart
// from the rest of the extraction, so that this loop alone is built for speed.
#pragma once

#include <cstdint>

#include "decoder/decoder_storage.hpp"
#include "expander/expander_namespace.hpp"

namespace quorvel::expander {

// Produces `remaining` bytes into the window started for the entry; unless skipping, writes
// them all to the output file.
void DecodeEntryData(DecoderStorage& storage, std::int32_t remaining, bool skipOutput);

}  // namespace quorvel::expander
