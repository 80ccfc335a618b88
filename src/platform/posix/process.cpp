// Process set-up and end on POSIX: internal faults reported from an alternate signal stack,
// interrupts that remove a partly written output file, and the shell's stand-in.
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstdint>

#include "platform/platform.hpp"
#include "platform/posix/system_names.hpp"

extern char** environ;

namespace quorvel {
namespace {

ProcessEndHook EndHook;
FileObject* GuardedFile;
std::uintptr_t StackTop;
std::uintptr_t StackReach;
alignas(16) char AlternateStack[64 * 1024];

std::uint32_t FaultAddress(void* context) {
    [[maybe_unused]] const auto* uc = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
    return static_cast<std::uint32_t>(uc->uc_mcontext.gregs[REG_RIP]);
#elif defined(__i386__)
    return static_cast<std::uint32_t>(uc->uc_mcontext.gregs[REG_EIP]);
#elif defined(__aarch64__)
    return static_cast<std::uint32_t>(uc->uc_mcontext.pc);
#else
    return 0;
#endif
}

bool InStackRegion(const void* address) {
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    return at <= StackTop + 4096 && StackTop - at <= StackReach;
}

std::uint32_t FaultNumber(const siginfo_t* info) {
    switch (info->si_signo) {
        case SIGFPE: return info->si_code == FPE_INTOVF ? kFaultOverflow : kFaultDivision;
        case SIGSEGV:
        case SIGBUS: return InStackRegion(info->si_addr) ? kFaultStack : kFaultAccess;
        default: return kFaultOther;
    }
}

void OnFault(int, siginfo_t* info, void* context) {
    ReportInternalFault(FaultNumber(info), FaultAddress(context));
}

// Removes the file being written, then lets the signal end the process as it would have.
void OnInterrupt(int signal) {
    FileObject* file = GuardedFile;
    if (file != nullptr && file->state != FileState::Closed) {
        file->state = FileState::Closed;
        close(static_cast<int>(file->handle));
        char systemName[posix::kSystemNameSize];
        if (posix::ToSystemName(file->name, systemName)) unlink(systemName);
    }
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigaction(signal, &action, nullptr);
    raise(signal);
}

void InstallFaultHandlers() {
    int marker = 0;
    StackTop = reinterpret_cast<std::uintptr_t>(&marker);
    rlimit limit{};
    StackReach = getrlimit(RLIMIT_STACK, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY
                     ? limit.rlim_cur + 65536
                     : std::uintptr_t{1} << 30;
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

void InstallInterruptHandlers() {
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    const int interrupts[] = {SIGINT, SIGTERM, SIGHUP};
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

void PrepareProcess() {
    InstallFaultHandlers();
    InstallInterruptHandlers();
}

bool GetOwnPath(char (&path)[261]) {
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0 || n >= static_cast<ssize_t>(sizeof path - 1)) return false;
    path[n] = 0;
    return true;
}

void GuardOutputFile(FileObject* file) { GuardedFile = file; }

// The command is one file name relative to the current folder. An executable regular file
// is started without arguments; any other existing file goes to xdg-open. Neither is
// waited for.
std::intptr_t OpenWithShell(const char* file) {
    constexpr std::intptr_t kStarted = 42;
    constexpr std::intptr_t kNotFound = 2;
    char systemName[posix::kSystemNameSize];
    struct stat info;
    if (!posix::ToSystemName(file, systemName) || stat(systemName, &info) != 0) return kNotFound;
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

}  // namespace quorvel
