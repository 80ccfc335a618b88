#include "tool/read/test_command.hpp"

#include <iostream>

#include "tool/common/archive_input.hpp"
#include "tool/common/problem_report.hpp"
#include "tool/common/tool_error.hpp"
#include "tool/read/listing.hpp"
#include "tool/read/windows_names.hpp"

namespace quorvel::tool {
namespace {

// Names the Expander refuses to create are problems of the archive, told as they are met.
bool CheckName(const reader::Entry& entry, const std::string& where, NameText& names) {
    if (!entry.unsafe && !entry.tooLong) return true;
    std::cerr << "quorvel: " << where << ": entry \"" << Printable(names.Shown(entry)) << "\": offset "
              << entry.recordOffset << ": "
              << (entry.unsafe ? "the name could reach outside the folder extracted into"
                               : "the name is longer than the Expander can create")
              << "\n";
    return false;
}

}  // namespace

int RunTest(const TestOptions& options) {
    const std::string where = Printable(options.read.archive);
    NameText names(options.read.codePage);
    try {
        ArchiveInput input(options.read);
        reader::ArchiveReader& archive = input.StartReading();
        WindowsNameCheck windows(input.Header().stub);
        ListTotals totals;
        std::uint64_t badNames = 0;
        while (const reader::Entry* entry = archive.Next()) {
            archive.ReadData(nullptr);
            if (!CheckName(*entry, where, names)) ++badNames;
            windows.Add(*entry);
            totals.Add(*entry);
        }
        for (const std::string& warning : windows.Warnings(names))
            std::cerr << "quorvel: warning: " << where << ": " << warning << "\n";
        if (badNames != 0) {
            std::cerr << "quorvel: " << where << ": " << badNames << " name" << (badNames == 1 ? "" : "s")
                      << " the Expander refuses\n";
            return kExitFailure;
        }
        std::cout << where << ": intact, " << totals.files << " file" << (totals.files == 1 ? "" : "s") << " and "
                  << totals.folders << " folder" << (totals.folders == 1 ? "" : "s") << ", " << totals.size
                  << " bytes\n";
        return kExitSuccess;
    } catch (const reader::ArchiveError& error) {
        std::cerr << "quorvel: " << where << ": " << ProblemText(error, names) << "\n";
        return ExitCodeFor(error);
    }
}

}  // namespace quorvel::tool
