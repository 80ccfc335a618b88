#include "tool/extract/extract_command.hpp"

#include <csignal>
#include <iostream>
#include <optional>

#include "tool/common/archive_input.hpp"
#include "tool/common/problem_report.hpp"
#include "tool/common/reporter.hpp"
#include "tool/common/tool_error.hpp"
#include "tool/extract/extract_failure.hpp"
#include "tool/extract/extractor.hpp"

namespace quorvel::tool {
namespace {

// An extraction that ends sooner draws no progress line.
constexpr std::chrono::milliseconds kProgressDelay{250};

void PrintSummary(const ExtractCounts& counts, const std::string& folder, bool stopped) {
    std::cout << "Extracted " << Count(counts.files, "file", "files") << " and "
              << Count(counts.folders, "folder", "folders") << " into " << Printable(folder);
    if (stopped) std::cout << " before it stopped";
    if (counts.renamed != 0) std::cout << "; " << counts.renamed << " written under a new name beside an existing file";
    if (counts.kept != 0)
        std::cout << "; " << Count(counts.kept, "existing file", "existing files") << " kept, not extracted";
    if (counts.failed != 0) std::cout << "; " << Count(counts.failed, "entry", "entries") << " not extracted";
    std::cout << "\n";
}

// The archive's run command is never run here; the user is told what it would have opened.
void NoteRunCommand(const reader::ArchiveHeader& header, NameText& names, Reporter& reporter) {
    if (header.runCommand.empty()) return;
    reporter.Note("the archive would open \"" + names.ShownText(header.runCommand) + "\" after extraction; it is not run");
}

// Every entry through the extractor; the files still being written are finished, and their
// failures told, before a problem of the archive is. Whether it stopped at a failure that
// would repeat.
bool ExtractAll(Extractor& extractor, ArchiveInput& input, reader::ArchiveReader& archive, Reporter& reporter) {
    try {
        try {
            while (const reader::Entry* entry = archive.Next()) {
                input.NoteLateName(*entry, reporter);
                extractor.Take(*entry, archive);
            }
        } catch (const reader::ArchiveError&) {
            extractor.Finish();
            throw;
        }
        extractor.Finish();
        return false;
    } catch (const ExtractionStopped& stop) {
        reporter.Error(stop.what());
        return true;
    }
}

}  // namespace

int RunExtract(const ExtractOptions& options) {
    // Past a file size limit (ulimit -f) a write fails with EFBIG, which is told, rather than
    // ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    NameText names(InitialCodePage(options.read));
    Reporter reporter(Reporter::ProgressWanted(options.quiet), kProgressDelay);
    std::optional<ExtractCounts> counts;  // once extraction began
    int exitCode = kExitFailure;
    bool stopped = false;
    std::vector<std::string> unmatched;
    try {
        ArchiveInput input(options.read);
        NoteCodePage(input.Open(names), reporter);
        NoteRunCommand(input.Header(), names, reporter);
        ProgressBar progress(reporter, input.Header().fileSize);
        reader::ArchiveReader& archive =
            input.StartReading([&progress](std::uint64_t bytes) { progress.BytesRead(bytes); });
        Extractor extractor(options, names, reporter, progress);
        try {
            stopped = ExtractAll(extractor, input, archive, reporter);
        } catch (const reader::ArchiveError&) {
            counts = extractor.Counts();
            throw;
        }
        counts = extractor.Counts();
        reporter.FinishProgress("");  // cleared: the summary follows
        if (!stopped) unmatched = extractor.Patterns().Unused();
        for (const std::string& pattern : unmatched) reporter.Error("no entry matches " + pattern);
        exitCode = !stopped && counts->failed == 0 && unmatched.empty() ? kExitSuccess : kExitFailure;
    } catch (const reader::ArchiveError& error) {
        reporter.Error(options.read.archive + ": " + ProblemText(error, names));
        exitCode = ExitCodeFor(error);
    }
    reporter.FinishProgress("");
    if (counts && !options.quiet) PrintSummary(*counts, options.folder, stopped);
    if (reporter.Errors() + reporter.Warnings() > 1) reporter.Summarize();
    return exitCode;
}

}  // namespace quorvel::tool
