#include "tool/extract/extract_command.hpp"

#include <iostream>

#include "tool/common/archive_input.hpp"
#include "tool/common/problem_report.hpp"
#include "tool/common/tool_error.hpp"
#include "tool/extract/extractor.hpp"

namespace quorvel::tool {
namespace {

std::string Count(std::uint64_t n, const std::string& one, const std::string& many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

void PrintSummary(const ExtractCounts& counts, const std::string& folder) {
    std::cout << "Extracted " << Count(counts.files, "file", "files") << " and "
              << Count(counts.folders, "folder", "folders") << " into " << Printable(folder);
    if (counts.renamed != 0) std::cout << "; " << counts.renamed << " written under a new name beside an existing file";
    if (counts.kept != 0)
        std::cout << "; " << Count(counts.kept, "existing file", "existing files") << " kept, not extracted";
    std::cout << "\n";
}

// The archive's run command is never run here; the user is told what it would have opened.
void NoteRunCommand(const reader::ArchiveHeader& header, NameText& names) {
    if (header.runCommand.empty()) return;
    std::cerr << "quorvel: note: the archive would open \"" << Printable(names.ShownText(header.runCommand))
              << "\" after extraction; it is not run\n";
}

}  // namespace

int RunExtract(const ExtractOptions& options) {
    NameText names(options.read.codePage);
    try {
        ArchiveInput input(options.read);
        NoteRunCommand(input.Header(), names);
        ProgressBar progress(ProgressWanted(options.quiet), input.Header().fileSize);
        reader::ArchiveReader& archive =
            input.StartReading([&progress](std::uint64_t bytes) { progress.BytesRead(bytes); });
        Extractor extractor(options, names, progress);
        try {
            while (const reader::Entry* entry = archive.Next()) extractor.Take(*entry, archive);
        } catch (const reader::ArchiveError&) {
            extractor.Finish();  // the files before the damage are finished and told of first
            progress.Clear();
            throw;
        }
        extractor.Finish();
        progress.Clear();
        const std::vector<std::string> unmatched = extractor.Patterns().Unused();
        for (const std::string& pattern : unmatched) std::cerr << "quorvel: no entry matches " << Printable(pattern) << "\n";
        if (!options.quiet) PrintSummary(extractor.Counts(), options.folder);
        if (extractor.Counts().failed != 0)
            std::cerr << "quorvel: " << Count(extractor.Counts().failed, "entry", "entries") << " not extracted\n";
        return extractor.Counts().failed == 0 && unmatched.empty() ? kExitSuccess : kExitFailure;
    } catch (const reader::ArchiveError& error) {
        std::cerr << "quorvel: " << Printable(options.read.archive) << ": " << ProblemText(error, names) << "\n";
        return ExitCodeFor(error);
    }
}

}  // namespace quorvel::tool
