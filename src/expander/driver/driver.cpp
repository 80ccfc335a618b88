// The program: open the archive, extract it, open the run command. Every failure ends the
// process inside the phase where it happens.
#include "expander/archive/open_archive.hpp"
#include "expander/console/console.hpp"
#include "expander/console/messages.hpp"
#include "expander/extract/extract_entries.hpp"

namespace quorvel::expander {
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
    EndProgram(kExitSuccess);
}

}  // namespace quorvel::expander
