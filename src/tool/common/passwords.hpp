// Where a password comes from, converted to the archive's code page: for packing, a file
// or the terminal (asked twice); for reading, a file, QUORVEL_PASSWORD or the terminal
// (three tries), checked against the archive before anything is read.
#pragma once

#include <string>

#include "reader/archive_header.hpp"
#include "tool/cli/command_options.hpp"

namespace quorvel::tool {

// The password to scramble with, or "" for none. Throws ToolError.
std::string PasswordForPacking(const PackOptions& options);

// The archive's password in its code page, "" when it is not scrambled. Throws ToolError
// when none is given and there is no terminal to ask on, or when the one given is wrong.
std::string PasswordForReading(const ReadOptions& options, const reader::ArchiveHeader& header);

}  // namespace quorvel::tool
