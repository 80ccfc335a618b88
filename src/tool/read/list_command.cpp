#include "tool/read/list_command.hpp"

#include "tool/common/archive_input.hpp"
#include "tool/common/problem_report.hpp"
#include "tool/common/tool_error.hpp"
#include "tool/read/listing.hpp"

namespace quorvel::tool {

// The data has no length field: each file is decoded, and dropped, to find where the next
// entry begins.
int RunList(const ListOptions& options) {
    NameText names(options.read.codePage);
    const std::unique_ptr<ListingWriter> listing = options.json ? MakeJsonListing(options.read.archive, names)
                                                                : MakeTextListing(options.read.archive, names);
    try {
        ArchiveInput input(options.read);
        listing->Header(input.Header());
        reader::ArchiveReader& archive = input.StartReading();
        ListTotals totals;
        while (const reader::Entry* entry = archive.Next()) {
            archive.ReadData(nullptr);
            listing->Entry(*entry);
            totals.Add(*entry);
        }
        listing->Totals(totals);
        return kExitSuccess;
    } catch (const reader::ArchiveError& error) {
        listing->Problem(error);
        return ExitCodeFor(error);
    }
}

}  // namespace quorvel::tool
