#include "tool/pack/output_file.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "tool/common/interrupt_cleanup.hpp"
#include "tool/common/tool_error.hpp"

namespace quorvel::tool {
namespace {

// A new file named `base` and six random letters or digits, as mkstemp makes it but with
// the mode asked for (mkstemp's is 0600 whatever the umask). Returns -1 with errno set.
int CreateTemporary(const std::string& base, mode_t mode, std::string& name) {
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::uniform_int_distribution<std::size_t> letter(0, sizeof kLetters - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = base;
        for (int i = 0; i < 6; ++i) name += kLetters[letter(random)];
        const int fd = open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

// The file is made and registered while interrupts wait in this thread, which creates the
// output before the worker threads start: an interrupt finds either no file or one it removes.
OutputFile::OutputFile(std::filesystem::path target, mode_t mode) : target_(std::move(target)) {
    InstallInterruptCleanup();
    // Past a file-size limit (ulimit -f) a write then fails with EFBIG, which is reported and
    // the partial file removed, instead of SIGXFSZ ending the tool and leaving it behind.
    signal(SIGXFSZ, SIG_IGN);
    int error = 0;
    {
        const InterruptHold hold;
        fd_ = CreateTemporary(target_.string() + ".partial-", mode, temporary_);
        error = errno;
        if (fd_ >= 0) GuardTemporary(AT_FDCWD, temporary_.c_str());
    }
    errno = error;
    if (fd_ < 0) Fail("cannot be written");
}

// Removed before the handler forgets it, so that an interrupt in between finds nothing left.
OutputFile::~OutputFile() {
    if (fd_ >= 0) close(fd_);
    if (!committed_) unlink(temporary_.c_str());
    ForgetTemporary();
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
    if (close(fd_) != 0) {
        fd_ = -1;
        Fail("cannot be written");
    }
    fd_ = -1;
    if (rename(temporary_.c_str(), target_.c_str()) != 0) Fail("cannot be written");
    committed_ = true;
}

}  // namespace quorvel::tool
