#include "tool/extract/extract_command.hpp"

#include <iostream>

#include "tool/common/archive_input.hpp"
#include "tool/common/problem_report.hpp"
#include "tool/common/reporter.hpp"
#include "tool/common/tool_error.hpp"
#include "tool/extract/extractor.hpp"

namespace quorvel::tool {
namespace {

void PrintSummary(const ExtractCounts& counts, const std::string& folder) {
    std::cout << "Extracted " << Count(counts.files, "file", "files") << " and "
              << Count(counts.folders, "folder", "folders") << " into " << Printable(folder);
    if (counts.renamed != 0) std::cout << "; " << counts.renamed << " written under a new name beside an existing file";
    if (counts.kept != 0)
        std::cout << "; " << Count(counts.kept, "existing file", "existing files") << " kept, not extracted";
    std::cout << "\n";
}

// The archive's run command is never run here; the user is told what it would have opened.
void NoteRunCommand(const reader::ArchiveHeader& header, NameText& names, Reporter& reporter) {
    if (header.runCommand.empty()) return;
    reporter.Note("the archive would open \"" + names.ShownText(header.runCommand) + "\" after extraction; it is not run");
}

}  // namespace

int RunExtract(const ExtractOptions& options) {
    NameText names(options.read.codePage);
    Reporter reporter(Reporter::ProgressWanted(options.quiet));
    try {
        ArchiveInput input(options.read);
        NoteRunCommand(input.Header(), names, reporter);
        ProgressBar progress(reporter, input.Header().fileSize);
        reader::ArchiveReader& archive =
            input.StartReading([&progress](std::uint64_t bytes) { progress.BytesRead(bytes); });
        Extractor extractor(options, names, reporter, progress);
        try {
            while (const reader::Entry* entry = archive.Next()) extractor.Take(*entry, archive);
        } catch (const reader::ArchiveError&) {
            extractor.Finish();  // the files before the damage are finished and told of first
            throw;
        }
        extractor.Finish();
        reporter.FinishProgress("");  // cleared: the summary follows
        const std::vector<std::string> unmatched = extractor.Patterns().Unused();
        for (const std::string& pattern : unmatched) reporter.Error("no entry matches " + pattern);
        if (!options.quiet) PrintSummary(extractor.Counts(), options.folder);
        if (extractor.Counts().failed != 0)
            reporter.Error(Count(extractor.Counts().failed, "entry", "entries") + " not extracted");
        return extractor.Counts().failed == 0 && unmatched.empty() ? kExitSuccess : kExitFailure;
    } catch (const reader::ArchiveError& error) {
        reporter.Error(options.read.archive + ": " + ProblemText(error, names));
        return ExitCodeFor(error);
    }
}

}  // namespace quorvel::tool
