#include "tool/output_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tool/tool_error.hpp"

namespace quorvel::tool {

OutputFile::OutputFile(std::filesystem::path target) : target_(std::move(target)) {
    std::string pattern = target_.string() + ".partial-XXXXXX";
    fd_ = mkstemp(pattern.data());
    if (fd_ < 0) Fail("cannot be written");
    temporary_ = pattern;
}

OutputFile::~OutputFile() {
    if (fd_ >= 0) close(fd_);
    if (!committed_ && !temporary_.empty()) unlink(temporary_.c_str());
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
