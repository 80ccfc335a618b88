#include "tool/read/list_command.hpp"

#include "tool/common/archive_input.hpp"
#include "tool/common/problem_report.hpp"
#include "tool/common/tool_error.hpp"
#include "tool/read/listing.hpp"

namespace quorvel::tool {

// The data has no length field: each file is decoded, and dropped, to find where the next
// entry begins. The JSON document is whole on every path, a file that cannot be read
// included.
int RunList(const ListOptions& options) {
    NameText names(InitialCodePage(options.read));
    Reporter reporter;
    const std::unique_ptr<ListingWriter> listing = options.json ? MakeJsonListing(options.read.archive, names)
                                                                : MakeTextListing(options.read.archive, names, reporter);
    int exitCode = kExitSuccess;
    try {
        ArchiveInput input(options.read);
        listing->Front(input.Front());
        const CodePageChoice codePage = input.Open(names);
        listing->Header(input.Header(), codePage);
        reader::ArchiveReader& archive = input.StartReading();
        ListTotals totals;
        while (const reader::Entry* entry = archive.Next()) {
            if (!options.json) input.NoteLateName(*entry, reporter);  // the document says it was guessed
            archive.ReadData(nullptr);
            listing->Entry(*entry);
            totals.Add(*entry);
        }
        listing->Totals(totals);
    } catch (const UnreadableError& error) {
        if (!options.json) throw;
        listing->Problem(reader::ArchiveError(reader::ArchiveProblem::Unreadable, error.what()));
        exitCode = kExitUsage;
    } catch (const reader::ArchiveError& error) {
        listing->Problem(error);
        exitCode = ExitCodeFor(error);
    }
    if (reporter.Errors() + reporter.Warnings() > 1) reporter.Summarize();
    return exitCode;
}

}  // namespace quorvel::tool
