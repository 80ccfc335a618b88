#include "tool/output_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tool/interrupt_cleanup.hpp"
#include "tool/tool_error.hpp"

namespace quorvel::tool {

// The file is made and registered while interrupts wait in this thread, which creates the
// output before the worker threads start: an interrupt finds either no file or one it removes.
OutputFile::OutputFile(std::filesystem::path target) : target_(std::move(target)) {
    InstallInterruptCleanup();
    temporary_ = target_.string() + ".partial-XXXXXX";
    int error = 0;
    {
        const InterruptHold hold;
        fd_ = mkstemp(temporary_.data());
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
    if (fchmod(fd_, 0755) != 0 || close(fd_) != 0) {
        fd_ = -1;
        Fail("cannot be written");
    }
    fd_ = -1;
    if (rename(temporary_.c_str(), target_.c_str()) != 0) Fail("cannot be written");
    committed_ = true;
}

}  // namespace quorvel::tool
