// File objects, the exact-name lookup and folder creation on POSIX.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/platform.hpp"
#include "platform/posix/file_status.hpp"
#include "platform/posix/system_names.hpp"

namespace quorvel {
namespace {


bool IsOpen(const FileObject& file) { return file.state != FileState::Closed; }
int Descriptor(const FileObject& file) { return static_cast<int>(file.handle); }

bool Open(FileObject& file, const char* name, int flags, FileState state) {
    char systemName[posix::kSystemNameSize];
    const std::size_t length = std::strlen(name);
    if (length > kMaxNameLength || !posix::ToSystemName(name, systemName)) return false;
    std::memcpy(file.name, name, length + 1);
    int fd = open(systemName, flags | O_CLOEXEC, 0666);
    // O_NOFOLLOW refuses a link at the name (ELOOP). The link is removed, and a new file is
    // made in its place only if nothing has taken the name meanwhile.
    if (fd < 0 && (flags & O_NOFOLLOW) != 0 && errno == ELOOP && unlink(systemName) == 0)
        fd = open(systemName, flags | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    file.handle = fd;
    file.state = state;
    return true;
}

timespec ToTimespec(const FileTime& time) {
    const UnixTime unix = ToUnixTime(FileTimeValue(time));
    return timespec{static_cast<time_t>(unix.seconds), static_cast<long>(unix.nanoseconds)};
}

}  // namespace

bool OpenForReading(FileObject& file, const char* name) {
    return Open(file, name, O_RDONLY, FileState::Reading);
}

bool CreateForWriting(FileObject& file, const char* name) {
    return Open(file, name, O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW, FileState::ReadWrite);
}

bool ReadSome(FileObject& file, void* buffer, std::uint32_t n, std::uint32_t& delivered) {
    if (!IsOpen(file)) return false;
    std::uint32_t got = 0;
    while (got < n) {
        const ssize_t r = read(Descriptor(file), static_cast<char*>(buffer) + got, n - got);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return false;
        if (r == 0) break;
        got += static_cast<std::uint32_t>(r);
    }
    delivered = got;
    return true;
}

bool WriteExact(FileObject& file, const void* buffer, std::uint32_t n) {
    if (!IsOpen(file)) return false;
    std::uint32_t done = 0;
    while (done < n) {
        const ssize_t r = write(Descriptor(file), static_cast<const char*>(buffer) + done, n - done);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        done += static_cast<std::uint32_t>(r);
    }
    return true;
}

std::int32_t FileLength(FileObject& file) {
    struct stat info;
    if (!IsOpen(file) || !posix::StatusOf(Descriptor(file), info)) return -1;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(info.st_size));
}

bool SetPosition(FileObject& file, std::int32_t offset) {
    return IsOpen(file) && lseek(Descriptor(file), offset, SEEK_SET) >= 0;
}

bool CloseFile(FileObject& file) {
    if (!IsOpen(file)) return false;
    file.state = FileState::Closed;
    return close(Descriptor(file)) == 0;
}

bool DeleteByName(FileObject& file) {
    char systemName[posix::kSystemNameSize];
    return posix::ToSystemName(file.name, systemName) && unlink(systemName) == 0;
}

// Creation time has no POSIX counterpart and is dropped.
bool SetTimes(FileObject& file, const FileTime&, const FileTime& lastAccess,
              const FileTime& lastWrite) {
    if (!IsOpen(file)) return false;
    const timespec times[2] = {ToTimespec(lastAccess), ToTimespec(lastWrite)};
    return futimens(Descriptor(file), times) == 0;
}

// 0755 less the umask, read once: the call that reads it also sets it, so it is set back.
void KeepExecutable(FileObject& file, const std::uint8_t* start, std::int32_t length) {
    static long mode = -1;
    const bool script = length >= 2 && start[0] == '#' && start[1] == '!';
    const bool program = length >= 4 && start[0] == 0x7F && start[1] == 'E' && start[2] == 'L' && start[3] == 'F';
    if (!IsOpen(file) || !(script || program)) return;
    if (mode < 0) {
        const long mask = syscall(SYS_umask, 0);
        syscall(SYS_umask, mask);
        mode = 0755 & ~mask;
    }
    syscall(SYS_fchmod, Descriptor(file), mode);
}

// An exact lookup: no wildcards. A link is found as itself, a reparse point, wherever it
// leads; a dangling one is found as well.
std::int32_t FindAttributes(const char* path) {
    constexpr std::uint32_t kNormalFile = 0x20;
    char systemName[posix::kSystemNameSize];
    struct stat info;
    if (!posix::ToSystemName(path, systemName) || !posix::StatusOf(systemName, info, false)) return -1;
    if (S_ISLNK(info.st_mode)) return kReparsePointAttribute;
    return static_cast<std::int32_t>(S_ISDIR(info.st_mode) ? kFolderAttribute : kNormalFile);
}

bool MakeFolder(const char* path) {
    char systemName[posix::kSystemNameSize];
    return posix::ToSystemName(path, systemName) && mkdir(systemName, 0777) == 0;
}

}  // namespace quorvel
