// A Windows program built on the Expander's console layer that renames a folder, as another
// program might while the Expander runs. Standard input holds the old name and the new one,
// each ended by CR; it prints "renamed" or "refused" and the system's error number.
#include <windows.h>

#include "expander/console/console.hpp"
#include "expander/console/text.hpp"

namespace {

quorvel::expander::Text Names[2];
int Reading;

void Collect(char byte) { Names[Reading].Append(byte); }

}  // namespace

namespace quorvel::expander {

void ProgramMain() {
    PrepareProcess(ReportInternalFault);
    for (Reading = 0; Reading < 2; ++Reading) {
        ReadText(Collect);
        SkipLine();
    }
    if (MoveFileA(Names[0].CStr(), Names[1].CStr())) {
        WriteText("renamed");
    } else {
        char number[12] = {};
        int at = sizeof number - 1;
        for (DWORD error = GetLastError(); at == sizeof number - 1 || error != 0; error /= 10)
            number[--at] = static_cast<char>('0' + error % 10);
        WriteText("refused ");
        WriteText(number + at);
    }
    EndLine();
    EndProgram(0);
}

}  // namespace quorvel::expander
