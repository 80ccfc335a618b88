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

// Names the Expander refuses to create are problems of the archive, told as they are met.
bool CheckName(const reader::Entry& entry, const std::string& where, NameText& names, Reporter& reporter) {
    if (!entry.unsafe && !entry.tooLong) return true;
    reporter.Error(where + ": entry \"" + names.Shown(entry) + "\": offset " + std::to_string(entry.recordOffset) +
                   ": " +
                   (entry.unsafe ? "the name could reach outside the folder extracted into"
                                 : "the name is longer than the Expander can create"));
    return false;
}

}  // namespace

int RunTest(const TestOptions& options) {
    const std::string& where = options.read.archive;
    NameText names(options.read.codePage);
    Reporter reporter(Reporter::ProgressWanted(options.quiet));
    try {
        ArchiveInput input(options.read);
        const std::uint64_t fileSize = input.Header().fileSize;
        reader::ArchiveReader& archive = input.StartReading([&](std::uint64_t bytes) {
            reporter.Progress([&] { return "testing: " + std::to_string(bytes * 100 / std::max<std::uint64_t>(fileSize, 1)) + "%"; });
        });
        WindowsNameCheck windows(input.Header().stub);
        ListTotals totals;
        std::uint64_t badNames = 0;
        while (const reader::Entry* entry = archive.Next()) {
            archive.ReadData(nullptr);
            if (!CheckName(*entry, where, names, reporter)) ++badNames;
            windows.Add(*entry);
            totals.Add(*entry);
        }
        reporter.FinishProgress("");
        for (const std::string& warning : windows.Warnings(names)) reporter.Warning(where + ": " + warning);
        if (badNames != 0) {
            reporter.Error(where + ": " + Count(badNames, "name", "names") + " the Expander refuses");
            return kExitFailure;
        }
        if (options.quiet) return kExitSuccess;
        std::cout << Printable(where) << ": intact, " << totals.files << " file" << (totals.files == 1 ? "" : "s") << " and "
                  << totals.folders << " folder" << (totals.folders == 1 ? "" : "s") << ", " << totals.size
                  << " bytes\n";
        return kExitSuccess;
    } catch (const reader::ArchiveError& error) {
        reporter.Error(where + ": " + ProblemText(error, names));
        return ExitCodeFor(error);
    }
}

}  // namespace quorvel::tool
