#include "tool/common/interrupt_cleanup.hpp"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace quorvel::tool {
namespace {

constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP};

// The temporary file while it exists under its name, for the handler.
std::atomic<int> GuardedFolder{AT_FDCWD};
std::atomic<const char*> GuardedName{nullptr};
static_assert(std::atomic<const char*>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

// Removes the temporary file, then lets the signal end the process as it would have. Only
// async-signal-safe calls.
void OnInterrupt(int signal) {
    if (const char* name = GuardedName.load()) unlinkat(GuardedFolder.load(), name, 0);
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigaction(signal, &action, nullptr);
    raise(signal);
}

sigset_t InterruptSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kInterrupts) sigaddset(&set, signal);
    return set;
}

}  // namespace

void InstallInterruptCleanup() {
    static const bool installed = [] {
        struct sigaction action = {};
        action.sa_handler = OnInterrupt;
        action.sa_mask = InterruptSet();
        for (int signal : kInterrupts) {
            struct sigaction previous = {};
            if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN)
                sigaction(signal, &action, nullptr);
        }
        return true;
    }();
    (void)installed;
}

InterruptHold::InterruptHold() {
    static_assert(sizeof(sigset_t) <= sizeof saved_);
    const sigset_t interrupts = InterruptSet();
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &interrupts, &previous);
    std::memcpy(saved_, &previous, sizeof previous);
}

InterruptHold::~InterruptHold() {
    sigset_t previous;
    std::memcpy(&previous, saved_, sizeof previous);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

// The folder is set before the name, and the name cleared first, so that the handler never
// pairs a name with another folder.
void GuardTemporary(int folder, const char* name) {
    GuardedFolder.store(folder);
    GuardedName.store(name);
}

void ForgetTemporary() { GuardedName.store(nullptr); }

}  // namespace quorvel::tool
