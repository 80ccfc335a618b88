// A file's three times as FILETIMEs: creation from the birth time where the file system
// keeps one, else the last write time.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include "packer/entry_writer.hpp"
#include "tool/tool_namespace.hpp"

namespace quorvel::tool {

// The times of a statx record asked for STATX_BASIC_STATS | STATX_BTIME.
EntryTimes FileTimes(const struct statx& info);

}  // namespace quorvel::tool
