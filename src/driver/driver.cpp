// The program: open the archive, extract it, open the run command. Every failure ends the
// process inside the phase where it happens.
#include "archive/open_archive.hpp"
#include "console/console.hpp"
#include "console/messages.hpp"
#include "extract/extract_entries.hpp"

namespace quorvel {
namespace {

// The command is opened as one file name; a failure to start it is reported, not fatal.
void RunAfter() {
    if (RunCommand.length == 0) return;
    if (OpenWithShell(RunCommand.CStr()) > 32) return;
    WriteText(message::kCouldNotRun);
    WriteName(RunCommand.CStr());
    WriteChar(kBell);
    EndLine();
}

}  // namespace

void ProgramMain() {
    PrepareProcess(ReportInternalFault);
    OpenArchive();
    ExtractEntries();
    RunAfter();
    EndProgram(0);
}

}  // namespace quorvel
