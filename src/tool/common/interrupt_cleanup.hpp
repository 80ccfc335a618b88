// A temporary file that SIGINT, SIGTERM or SIGHUP removes before they end the tool, so that
// an interrupted pack or extract leaves nothing behind under any name. One name at a time,
// registered by the thread that makes it while the interrupts wait.
#pragma once

namespace quorvel::tool {

// Installs the handlers once; a signal the tool was started to ignore stays ignored.
void InstallInterruptCleanup();

// Holds the interrupts back in this thread for its scope, so that a file can be made and
// registered, or renamed and forgotten, as one step; or, for a longer scope, so that they
// go to another thread, the one that makes the files.
class InterruptHold {
public:
    InterruptHold();
    ~InterruptHold();
    InterruptHold(const InterruptHold&) = delete;
    InterruptHold& operator=(const InterruptHold&) = delete;

private:
    unsigned char saved_[128];  // the signal mask before, a sigset_t
};

// From now on an interrupt removes `name` in the folder open as `folder` (AT_FDCWD for the
// current one). Both must stay valid until ForgetTemporary.
void GuardTemporary(int folder, const char* name);
void ForgetTemporary();

}  // namespace quorvel::tool
