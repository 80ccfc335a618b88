// Process set-up and end on Windows: DLLs only from the system folder, internal faults
// reported by the unhandled-exception filter, a console interrupt that removes a partly
// written output file, and the shell.
#include <windows.h>
#include <shellapi.h>

#include "expander/expander_namespace.hpp"
#include "expander/platform/platform.hpp"

namespace quorvel::expander {
namespace {

ProcessEndHook EndHook;
FaultReporter Reporter;
FileObject* volatile GuardedFile;
HANDLE MainThread;
// 1 while the main thread creates and registers the output file, or once the interrupt
// handler has taken it; each waits for the other.
volatile LONG InterruptsHeld;

// A self-extractor usually sits in a downloads folder beside files it must never load.
// Looked up at run time, so that systems without the call still start.
void RestrictDllSearch() {
    using SetDirectories = BOOL(WINAPI*)(DWORD);
    constexpr DWORD kSearchSystem32 = 0x00000800;
    auto set = reinterpret_cast<SetDirectories>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
    if (set != nullptr) set(kSearchSystem32);
}

std::uint32_t FaultNumber(DWORD code) {
    switch (code) {
        case EXCEPTION_INT_DIVIDE_BY_ZERO: return kFaultDivision;
        case EXCEPTION_INT_OVERFLOW: return kFaultOverflow;
        case EXCEPTION_STACK_OVERFLOW: return kFaultStack;
        case EXCEPTION_ACCESS_VIOLATION:
        case EXCEPTION_IN_PAGE_ERROR: return kFaultAccess;
        default: return kFaultOther;
    }
}

LONG WINAPI OnFault(EXCEPTION_POINTERS* fault) {
    const EXCEPTION_RECORD* record = fault->ExceptionRecord;
    Reporter(FaultNumber(record->ExceptionCode),
             static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(record->ExceptionAddress)));
    __builtin_unreachable();
}

#ifdef _WIN64
LONG WINAPI OnStackOverflow(EXCEPTION_POINTERS* fault) {
    if (fault->ExceptionRecord->ExceptionCode != EXCEPTION_STACK_OVERFLOW) return EXCEPTION_CONTINUE_SEARCH;
    return OnFault(fault);
}
#endif

// Runs on a thread of its own. It takes the hold and keeps it, so that no output file is
// created from then on. With a file registered, the main thread is stopped, so that it cannot
// go on writing; the file is closed (it may be already) and deleted, and the process ends
// the way the default handler would end it. Otherwise the default handler ends it.
BOOL WINAPI OnInterrupt(DWORD) {
    HoldInterrupts();
    FileObject* file = GuardedFile;
    if (file == nullptr) return FALSE;
    SuspendThread(MainThread);
    CloseHandle(reinterpret_cast<HANDLE>(file->handle));
    DeleteFileA(file->name);
    ExitProcess(STATUS_CONTROL_C_EXIT);
}

}  // namespace

void PrepareProcess(FaultReporter reporter) {
    Reporter = reporter;
    RestrictDllSearch();
#ifdef _WIN64
    // Dispatching a 64-bit exception as far as the unhandled-exception filter takes more
    // stack than an overflow leaves; the first handler asked is reached with room to spare.
    AddVectoredExceptionHandler(1, OnStackOverflow);
#endif
    SetUnhandledExceptionFilter(OnFault);
    MainThread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, GetCurrentThreadId());
    SetConsoleCtrlHandler(OnInterrupt, TRUE);
}

void GuardOutputFile(FileObject* file) { GuardedFile = file; }

void HoldInterrupts() {
    while (InterlockedExchange(&InterruptsHeld, 1) != 0) YieldProcessor();
}

void ReleaseInterrupts() { InterlockedExchange(&InterruptsHeld, 0); }

std::intptr_t OpenWithShell(const char* file) {
    return reinterpret_cast<std::intptr_t>(
        ShellExecuteA(nullptr, nullptr, file, nullptr, nullptr, SW_SHOWNORMAL));
}

void SetProcessEndHook(ProcessEndHook hook) { EndHook = hook; }

void EndProcess(std::uint32_t code) {
    if (EndHook != nullptr) EndHook(code);
    ExitProcess(code);
}

}  // namespace quorvel::expander

extern "C" void ExpanderStart() { quorvel::expander::ProgramMain(); }
