#include "tool/read/test_command.hpp"

#include <algorithm>
#include <iostream>

#include "tool/common/archive_input.hpp"
#include "tool/common/problem_report.hpp"
#include "tool/common/reporter.hpp"
#include "tool/common/tool_error.hpp"
#include "tool/read/listing.hpp"
#include "tool/read/windows_names.hpp"

namespace quorvel::tool {
namespace {

// A test that ends sooner draws no progress line.
constexpr std::chrono::milliseconds kProgressDelay{250};

// Names the Expander refuses to create are problems of the archive, told as they are met.
bool CheckName(const reader::Entry& entry, const std::string& where, NameText& names, Reporter& reporter) {
    if (!entry.unsafe && !entry.tooLong) return true;
    reporter.Error(where + ": entry \"" + names.Shown(entry) + "\": offset " + std::to_string(entry.recordOffset) +
                   ": " +
                   (entry.unsafe ? "the name could reach outside the folder extracted into"
                                 : "the name is longer than the Expander can create"));
    return false;
}

// Reads everything; whether every name is one the Expander creates.
bool TestEntries(ArchiveInput& input, const std::string& where, NameText& names, Reporter& reporter,
                 ListTotals& totals) {
    const std::uint64_t fileSize = std::max<std::uint64_t>(input.Header().fileSize, 1);
    reader::ArchiveReader& archive = input.StartReading([&](std::uint64_t bytes) {
        reporter.Progress([&] { return "testing: " + std::to_string(bytes * 100 / fileSize) + "%"; });
    });
    WindowsNameCheck windows(input.Header().stub);
    bool namesFine = true;
    while (const reader::Entry* entry = archive.Next()) {
        input.NoteLateName(*entry, reporter);
        archive.ReadData(nullptr);
        namesFine &= CheckName(*entry, where, names, reporter);
        windows.Add(*entry);
        totals.Add(*entry);
    }
    reporter.FinishProgress("");
    for (const std::string& warning : windows.Warnings(names)) reporter.Warning(where + ": " + warning);
    return namesFine;
}

}  // namespace

int RunTest(const TestOptions& options) {
    const std::string& where = options.read.archive;
    NameText names(InitialCodePage(options.read));
    Reporter reporter(Reporter::ProgressWanted(options.quiet), kProgressDelay);
    int exitCode = kExitFailure;
    try {
        ArchiveInput input(options.read);
        NoteCodePage(input.Open(names), reporter);
        ListTotals totals;
        if (TestEntries(input, where, names, reporter, totals)) {
            exitCode = kExitSuccess;
            if (!options.quiet)
                std::cout << Printable(where) << ": intact, " << Count(totals.files, "file", "files") << " and "
                          << Count(totals.folders, "folder", "folders") << ", " << totals.size << " bytes\n";
        }
    } catch (const reader::ArchiveError& error) {
        reporter.Error(where + ": " + ProblemText(error, names));
        exitCode = ExitCodeFor(error);
    }
    if (reporter.Errors() + reporter.Warnings() > 1) reporter.Summarize();
    return exitCode;
}

}  // namespace quorvel::tool
