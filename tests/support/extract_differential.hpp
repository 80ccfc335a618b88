// Every archive the end-to-end tests run through the native Expander is extracted again by
// `quorvel extract`, and the two trees must be equal: the same folders, files, bytes, and
// last-write and last-access times.
#pragma once

#include <filesystem>

#include "support/run_program.hpp"

namespace quorvel::test {

// Called after the native Expander ran `sfx` in `expanderFolder`, which was empty before,
// and exited 0 with no input: extracts `sfx` with quorvel into a fresh folder and reports
// each difference as a test failure. Archives with a run command are left out: what the
// command does to the folder is no part of the extraction.
void ExpectQuorvelExtractsTheSame(const std::filesystem::path& sfx, const std::filesystem::path& expanderFolder,
                                  const RunOptions& run);

}  // namespace quorvel::test
