// A temporary file that SIGINT, SIGTERM or SIGHUP removes before they end the tool, so that
// an interrupted pack or extract leaves nothing behind under any name. One name at a time,
// registered by the thread that makes it while the interrupts wait.
#pragma once

namespace quorvel::tool {

// Installs the handlers once; a signal the tool was started to ignore stays ignored.
void InstallInterruptCleanup();

// Holds the interrupts back for its scope, so that a file can be made and registered as one
// step: one that arrives meanwhile, on any thread, is only noted by the handler, and ends the
// tool when the last hold ends. A flag the handler reads, not a signal mask: making the hold
// costs no system call, which matters when every extracted file takes one.
class InterruptHold {
public:
    InterruptHold();
    ~InterruptHold();
    // An interrupt came, and ends the tool as the hold ends: nothing is to be made meanwhile.
    // (The handler on another thread may be removing the registered file right now.)
    bool Interrupted() const;
    InterruptHold(const InterruptHold&) = delete;
    InterruptHold& operator=(const InterruptHold&) = delete;
};

// From now on an interrupt removes `name` in the folder open as `folder` (AT_FDCWD for the
// current one). Both must stay valid until ForgetTemporary.
void GuardTemporary(int folder, const char* name);
void ForgetTemporary();

}  // namespace quorvel::tool
