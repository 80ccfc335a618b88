// Process set-up and end on POSIX: internal faults reported from an alternate signal stack,
// interrupts that remove a partly written output file, and the shell's stand-in.
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdint>

#include "expander/platform/platform.hpp"
#include "expander/platform/posix/file_status.hpp"
#include "expander/platform/posix/system_names.hpp"

extern char** environ;

namespace quorvel::expander {
namespace {

// The output file as the interrupt handler finds it: a flag set while the file is
// registered, and the system name of its last part in the held folder, converted at
// registration because the conversion (iconv, getenv) may not run in a handler.
volatile std::sig_atomic_t OutputGuarded;
char GuardedSystemName[posix::kSystemNameSize];
sigset_t Interrupts;
// Set between HoldInterrupts and ReleaseInterrupts; an interrupt that came meanwhile.
volatile std::sig_atomic_t InterruptsHeld;
volatile std::sig_atomic_t HeldInterrupt;

ProcessEndHook EndHook;
FaultReporter Reporter;
std::uintptr_t StackTop;
alignas(16) char AlternateStack[64 * 1024];

// Where the faulting code was, and its stack pointer.
struct FaultPlace {
    std::uintptr_t code;
    std::uintptr_t stack;
};

FaultPlace PlaceOf(void* context) {
    [[maybe_unused]] const auto* uc = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
    return {static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_RIP]),
            static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_RSP])};
#elif defined(__i386__)
    return {static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_EIP]),
            static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_ESP])};
#elif defined(__aarch64__)
    return {uc->uc_mcontext.pc, uc->uc_mcontext.sp};
#else
    return {0, 0};
#endif
}

// An exhausted stack faults where the stack was to grow: just under the stack pointer (a
// call, a push) or inside a frame just set aside above it. Such a frame may reach far past
// the stack's limit: the extraction's working storage is one frame of about 4.3 MB, whose
// first touch can land megabytes below the limit, out of reach of any fixed distance from
// the top. So the guard region runs from the stack's top down to 64 KiB under the faulting
// stack pointer: an address there faults only where the stack could not grow.
bool InStackRegion(std::uintptr_t address, std::uintptr_t stackPointer) {
    constexpr std::uintptr_t kBelowStackPointer = 64 * 1024;
    return address < StackTop && address + kBelowStackPointer >= stackPointer;
}

std::uint32_t FaultNumber(const siginfo_t* info, const FaultPlace& place) {
    switch (info->si_signo) {
        case SIGFPE: return info->si_code == FPE_INTOVF ? kFaultOverflow : kFaultDivision;
        case SIGSEGV:
        case SIGBUS:
            return InStackRegion(reinterpret_cast<std::uintptr_t>(info->si_addr), place.stack) ? kFaultStack
                                                                                                : kFaultAccess;
        default: return kFaultOther;
    }
}

void OnFault(int, siginfo_t* info, void* context) {
    const FaultPlace place = PlaceOf(context);
    Reporter(FaultNumber(info, place), static_cast<std::uint32_t>(place.code));
}

// Removes the unfinished output file, then lets the signal end the process as it would
// have. Only async-signal-safe calls, on state prepared at registration.
void EndByInterrupt(int signal) {
    if (OutputGuarded != 0) syscall(SYS_unlinkat, posix::HeldFolder, GuardedSystemName, 0);
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigaction(signal, &action, nullptr);
    raise(signal);
}

// During a hold the file may be made and not yet registered: the interrupt waits for the
// release, which ends the process then.
void OnInterrupt(int signal) {
    if (InterruptsHeld != 0) {
        HeldInterrupt = signal;
        return;
    }
    EndByInterrupt(signal);
}

void InstallFaultHandlers() {
    int marker = 0;
    StackTop = reinterpret_cast<std::uintptr_t>(&marker);
    stack_t alternate = {};
    alternate.ss_sp = AlternateStack;
    alternate.ss_size = sizeof AlternateStack;
    sigaltstack(&alternate, nullptr);
    struct sigaction action = {};
    action.sa_sigaction = OnFault;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    const int faults[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
    for (int signal : faults) sigaction(signal, &action, nullptr);
}

// A second interrupt waits while the handler runs.
void InstallInterruptHandlers() {
    const int interrupts[] = {SIGINT, SIGTERM, SIGHUP};
    sigemptyset(&Interrupts);
    for (int signal : interrupts) sigaddset(&Interrupts, signal);
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    action.sa_mask = Interrupts;
    for (int signal : interrupts) sigaction(signal, &action, nullptr);
    // A closed output pipe makes writes fail instead of ending the process.
    action.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &action, nullptr);
}

bool Spawn(const char* path, char* const argv[], bool searchPath) {
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    pid_t child;
    const int result = searchPath ? posix_spawnp(&child, path, nullptr, &attributes, argv, environ)
                                  : posix_spawn(&child, path, nullptr, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    return result == 0;
}

}  // namespace

void PrepareProcess(FaultReporter reporter) {
    Reporter = reporter;
    InstallFaultHandlers();
    InstallInterruptHandlers();
}

// The running program's own link opens it, however long or unusual its real path is. Weak,
// so that test programs can open another file instead (the in-process fuzzer, the sanitizer
// build); the shipped program is the same either way.
[[gnu::weak]] bool GetOwnPath(char (&path)[261]) {
    constexpr char kOwnExecutable[] = "/proc/self/exe";
    for (std::size_t i = 0; i < sizeof kOwnExecutable; ++i) path[i] = kOwnExecutable[i];
    return true;
}

// The flag is cleared before the name changes, and set only once the name is complete.
void GuardOutputFile(FileObject* file) {
    OutputGuarded = 0;
    if (file == nullptr || !posix::ToSystemName(file->name + file->leaf, GuardedSystemName)) return;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    OutputGuarded = 1;
}

// A flag the handler reads rather than a signal mask: no system call for every file.
void HoldInterrupts() { InterruptsHeld = 1; }

void ReleaseInterrupts() {
    InterruptsHeld = 0;
    if (HeldInterrupt != 0) EndByInterrupt(HeldInterrupt);
}

// The command is one file name relative to the current folder. An executable regular file
// is started without arguments; any other existing file goes to xdg-open. Neither is
// waited for.
std::intptr_t OpenWithShell(const char* file) {
    constexpr std::intptr_t kStarted = 42;
    constexpr std::intptr_t kNotFound = 2;
    char systemName[posix::kSystemNameSize];
    struct stat info;
    if (!posix::ToSystemName(file, systemName) || !posix::StatusOf(systemName, info)) return kNotFound;
    if (S_ISREG(info.st_mode) && access(systemName, X_OK) == 0) {
        char* const argv[] = {systemName, nullptr};
        return Spawn(systemName, argv, false) ? kStarted : kNotFound;
    }
    char opener[] = "xdg-open";
    char* const argv[] = {opener, systemName, nullptr};
    return Spawn(opener, argv, true) ? kStarted : kNotFound;
}

void SetProcessEndHook(ProcessEndHook hook) { EndHook = hook; }

void EndProcess(std::uint32_t code) {
    if (EndHook != nullptr) EndHook(code);
    _exit(static_cast<int>(code));
}

}  // namespace quorvel::expander
