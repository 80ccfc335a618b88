// Writes an archive's entries under the target folder as the reader hands them over: the
// entries asked for are made, every other file is decoded and dropped (a later file may
// start from it). A name that could reach outside the folder, or one that cannot be made,
// is refused with a message and counted; the entries after it go on. A failure that would
// repeat for every later entry (see extract_failure.hpp) ends the extraction instead:
// ExtractionStopped, with nothing of the failed file or of those after it left.
//
// Files are written by a FileWriter while the next entries are decoded. Everything that
// decides or reports stays on this thread, in entry order: an entry waits for the files
// still being written when one of them takes its name or a folder on its way, and every
// message waits for them, so that their failures are told first.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <deque>
#include <string>

#include "reader/archive_reader.hpp"
#include "tool/cli/command_options.hpp"
#include "tool/common/name_text.hpp"
#include "tool/common/reporter.hpp"
#include "tool/common/tool_error.hpp"
#include "tool/extract/file_writer.hpp"
#include "tool/extract/name_patterns.hpp"
#include "tool/extract/overwrite_choice.hpp"
#include "tool/extract/progress_bar.hpp"
#include "tool/extract/target_folder.hpp"

namespace quorvel::tool {

struct ExtractCounts {
    std::uint64_t files = 0;
    std::uint64_t folders = 0;
    std::uint64_t kept = 0;     // existing files left as they were
    std::uint64_t renamed = 0;  // written under a free name beside an existing file
    std::uint64_t failed = 0;   // entries refused or not written
};

class Extractor {
public:
    Extractor(const ExtractOptions& options, NameText& names, Reporter& reporter, ProgressBar& progress);

    // Reads the entry's data, if any, writing it or dropping it. Throws ExtractionStopped.
    void Take(const reader::Entry& entry, reader::ArchiveReader& archive);
    // Waits for the files still being written and counts or reports each. Throws
    // ExtractionStopped.
    void Finish();

    const ExtractCounts& Counts() const { return counts_; }
    NamePatterns& Patterns() { return patterns_; }

private:
    // The entry's parts in UTF-8 without empty and "." parts; a file's last part is its own
    // name. Nothing when the entry is refused.
    std::optional<std::vector<std::string>> PartsOf(const reader::Entry& entry, const std::string& shown);
    void TakeFolder(const std::vector<std::string>& parts);
    void TakeFile(const reader::Entry& entry, reader::ArchiveReader& archive, std::vector<std::string> parts);
    // Hands the file to the writer and its data after it.
    void Write(const reader::Entry& entry, reader::ArchiveReader& archive, SharedFolder folder,
               std::vector<std::string> parts, bool replace);
    // Counts or reports the files the writer has finished, in order; waits for all of them
    // when `all`. Throws ExtractionStopped at a failure that would repeat.
    void Collect(bool all);
    // Tells the failures of the files before the one that stopped the writer, then stops.
    [[noreturn]] void StopAtWriterFailure();
    // Stops, after the files before are told of, when the failure would repeat.
    void StopIfItRepeats(const ToolError& error);
    // Waits for the files being written when one takes the name `path` (parts joined by
    // '/') or that of a folder on its way.
    void SettleIfWriting(const std::string& path);
    void Fail(const std::string& message);
    void Report(const std::string& message);

    NameText& names_;
    Reporter& reporter_;
    ProgressBar& progress_;
    TargetFolder target_;
    NamePatterns patterns_;
    OverwriteChoice overwrite_;
    ExtractCounts counts_;
    std::deque<std::string> writing_;  // the files handed to the writer and not collected, oldest first
    FileWriter writer_;                 // last: its thread stops before the rest goes
};

}  // namespace quorvel::tool
