#include "tool/common/interrupt_cleanup.hpp"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>

namespace quorvel::tool {
namespace {

constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP};

// The temporary file while it exists under its name, for the handler.
std::atomic<int> GuardedFolder{AT_FDCWD};
std::atomic<const char*> GuardedName{nullptr};
// The holds in force, and an interrupt that came during one.
std::atomic<int> Holds{0};
std::atomic<int> HeldSignal{0};
static_assert(std::atomic<const char*>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

// Removes the temporary file, then lets the signal end the process as it would have. Only
// async-signal-safe calls.
void EndByInterrupt(int signal) {
    if (const char* name = GuardedName.load()) unlinkat(GuardedFolder.load(), name, 0);
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigaction(signal, &action, nullptr);
    raise(signal);
}

// During a hold a name may be made and not yet registered: the interrupt waits for the hold
// to end. Other threads go on while the handler runs; a hold begun after the interrupt finds
// it noted (the note comes before the look at the holds) and makes nothing.
void OnInterrupt(int signal) {
    HeldSignal.store(signal);
    if (Holds.load() == 0) EndByInterrupt(signal);
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
        action.sa_mask = InterruptSet();  // a second interrupt waits while the handler runs
        for (int signal : kInterrupts) {
            struct sigaction previous = {};
            if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN)
                sigaction(signal, &action, nullptr);
        }
        return true;
    }();
    (void)installed;
}

InterruptHold::InterruptHold() { Holds.fetch_add(1); }

// An interrupt after the count falls to 0 finds no hold and ends the tool itself.
InterruptHold::~InterruptHold() {
    if (Holds.fetch_sub(1) != 1) return;
    if (const int signal = HeldSignal.load()) EndByInterrupt(signal);
}

bool InterruptHold::Interrupted() const { return HeldSignal.load() != 0; }

// The folder is set before the name, and the name cleared first, so that the handler never
// pairs a name with another folder.
void GuardTemporary(int folder, const char* name) {
    GuardedFolder.store(folder);
    GuardedName.store(name);
}

void ForgetTemporary() { GuardedName.store(nullptr); }

}  // namespace quorvel::tool
