#include "tool/common/file_source.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "reader/archive_error.hpp"
#include "tool/common/tool_error.hpp"

namespace quorvel::tool {

FileSource::FileSource(std::string path) : path_(std::move(path)) {
    fd_ = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) throw UnreadableError(path_ + ": cannot be read (" + std::strerror(errno) + ")");
    struct stat info {};
    const bool known = fstat(fd_, &info) == 0;
    if (!known || !S_ISREG(info.st_mode)) {
        const std::string why = !known ? std::string("cannot be read (") + std::strerror(errno) + ")"
                                : S_ISDIR(info.st_mode) ? "is a folder"
                                                        : "is no regular file";
        close(fd_);
        throw UnreadableError(path_ + ": " + why);
    }
    size_ = static_cast<std::uint64_t>(info.st_size);
}

FileSource::~FileSource() { close(fd_); }

std::size_t FileSource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0)
            throw reader::ArchiveError(reader::ArchiveProblem::Unreadable,
                                       path_ + " cannot be read (" + std::strerror(errno) + ")",
                                       reader::ProblemPlace::At(offset + done));
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

}  // namespace quorvel::tool
