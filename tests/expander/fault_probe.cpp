// A program built on the Expander's console and platform layers that faults on purpose, so
// that the internal-fault report can be checked on both systems. The fault is chosen by the
// first character of standard input: a (access), d (divide) or s (stack).
#include "expander/console/console.hpp"

namespace {

volatile int Zero = 0;

// Recurses until the stack is exhausted; the warning about that is the point.
#pragma GCC diagnostic ignored "-Winfinite-recursion"
int Recurse(int depth) {
    volatile char frame[4096];
    frame[depth % 4096] = static_cast<char>(depth);
    return Recurse(depth + 1) + frame[(depth * 7) % 4096];
}

}  // namespace

namespace quorvel::expander {

void ProgramMain() {
    PrepareProcess(ReportInternalFault);
    const char kind = ReadChar();
    WriteText("before the fault");
    EndLine();
    if (kind == 'a') *reinterpret_cast<volatile int*>(Zero + 16) = 1;
    if (kind == 'd') Zero = 100 / Zero;
    if (kind == 's') Zero = Recurse(Zero);
    EndProgram(3);
}

}  // namespace quorvel::expander
