// A file's three times as FILETIMEs: creation from the birth time where the file system
// keeps one, else the last write time.
#pragma once

#include <filesystem>

#include "packer/entry_writer.hpp"

namespace quorvel::tool {

EntryTimes ReadFileTimes(const std::filesystem::path& file);

}  // namespace quorvel::tool
