// Where a password comes from, converted to the archive's code page: a file, else
// QUORVEL_PASSWORD, else the terminal; for packing asked twice, for reading with three tries
// and checked against the archive before anything is read.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "reader/archive_header.hpp"
#include "tool/cli/command_options.hpp"
#include "tool/common/reporter.hpp"

namespace quorvel::tool {

// The password to scramble with, or "" for none: from --password-file, else from
// QUORVEL_PASSWORD when it is set and not empty (a note says so unless -q), else asked on
// the terminal when --password was given. Throws ToolError.
std::string PasswordForPacking(const PackOptions& options, Reporter& reporter);

// A password as a scrambled archive checks it: converted to one code page.
struct PasswordMatch {
    int codePage;
    std::string password;
};

// The archive's password in each of `codePages` whose conversion of it passes the archive's
// check (every one, for a password in ASCII); none when the archive is not scrambled.
// Throws ToolError when none is given and there is no terminal to ask on, or when the one
// given passes in none.
std::vector<PasswordMatch> PasswordForReading(const ReadOptions& options, const reader::ArchiveHeader& header,
                                              std::span<const int> codePages);

}  // namespace quorvel::tool
