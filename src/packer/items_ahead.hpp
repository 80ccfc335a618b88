// The quick parse run on a thread of its own, for the fast efforts: its items do not depend
// on what is done with them, so one thread can parse while the thread that called encodes
// what it has parsed so far. The items wait in a few chunks of at most kChunkReach bytes'
// worth, so the parse runs at most a few MB ahead of the encoding.
#pragma once

#include <cstdint>

#include "packer/compress_progress.hpp"
#include "packer/item.hpp"
#include "packer/joined_bytes.hpp"
#include "packer/lazy_parse.hpp"

namespace quorvel::packer {

// As ParseLazily, with hash chains of its own on a second thread; `sink` and `progress`
// are told on this thread.
void ParseLazilyAhead(const JoinedBytes& bytes, std::size_t start, const LazyRules& rules, ItemSink& sink,
                      PassProgress progress = {});

}  // namespace quorvel::packer
