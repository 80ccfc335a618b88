#include "tool/output_file.hpp"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "tool/tool_error.hpp"

namespace quorvel::tool {
namespace {

constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP};

// The temporary file's name while it exists under that name, for the interrupt handler.
std::atomic<const char*> GuardedTemporary{nullptr};
static_assert(std::atomic<const char*>::is_always_lock_free);

// Removes the temporary file, then lets the signal end the process as it would have. Only
// async-signal-safe calls.
void OnInterrupt(int signal) {
    if (const char* name = GuardedTemporary.load()) unlink(name);
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

// A signal that the tool was started to ignore stays ignored.
void InstallInterruptHandlers() {
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    action.sa_mask = InterruptSet();
    for (int signal : kInterrupts) {
        struct sigaction previous = {};
        if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN)
            sigaction(signal, &action, nullptr);
    }
}

}  // namespace

// The file is made and registered while interrupts wait in this thread, which creates the
// output before the worker threads start: an interrupt finds either no file or one it removes.
OutputFile::OutputFile(std::filesystem::path target) : target_(std::move(target)) {
    InstallInterruptHandlers();
    temporary_ = target_.string() + ".partial-XXXXXX";
    const sigset_t interrupts = InterruptSet();
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &interrupts, &previous);
    fd_ = mkstemp(temporary_.data());
    const int error = errno;
    if (fd_ >= 0) GuardedTemporary.store(temporary_.c_str());
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = error;
    if (fd_ < 0) Fail("cannot be written");
}

// Removed before the handler forgets it, so that an interrupt in between finds nothing left.
OutputFile::~OutputFile() {
    if (fd_ >= 0) close(fd_);
    if (!committed_) unlink(temporary_.c_str());
    GuardedTemporary.store(nullptr);
}

void OutputFile::Fail(const std::string& what) const {
    throw ToolError(target_.string() + ": " + what + " (" + std::strerror(errno) + ")");
}

void OutputFile::Write(std::span<const std::uint8_t> bytes) {
    WriteAt(size_, bytes);
}

void OutputFile::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) Fail("cannot be written");
        done += static_cast<std::size_t>(n);
    }
    size_ = std::max(size_, offset + bytes.size());
}

void OutputFile::Commit() {
    if (fchmod(fd_, 0755) != 0 || close(fd_) != 0) {
        fd_ = -1;
        Fail("cannot be written");
    }
    fd_ = -1;
    if (rename(temporary_.c_str(), target_.c_str()) != 0) Fail("cannot be written");
    committed_ = true;
}

}  // namespace quorvel::tool
