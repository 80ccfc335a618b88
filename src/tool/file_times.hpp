// A file's three times as FILETIMEs: creation from the birth time where the file system
// keeps one, else the last write time.
#pragma once

#include <filesystem>

#include "packer/entry_writer.hpp"

namespace quorvel::tool {

EntryTimes ReadFileTimes(const std::filesystem::path& file);

// Seconds and nanoseconds since 1970 as a FILETIME; times before 1601 become 0.
std::uint64_t ToFileTime(std::int64_t seconds, std::uint32_t nanoseconds);

}  // namespace quorvel::tool
