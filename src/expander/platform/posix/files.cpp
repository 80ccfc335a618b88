// File objects, and the target folders held by descriptor, on POSIX.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "expander/expander_namespace.hpp"
#include "expander/platform/platform.hpp"
#include "expander/platform/posix/file_status.hpp"
#include "expander/platform/posix/system_names.hpp"

namespace quorvel::expander {

// The process holds its current folder: AT_FDCWD stands for the run's own folder.
int posix::HeldFolder = AT_FDCWD;

namespace {

bool IsOpen(const FileObject& file) { return file.state != FileState::Closed; }
int Descriptor(const FileObject& file) { return static_cast<int>(file.handle); }

bool Adopt(FileObject& file, long fd, FileState state) {
    if (fd < 0) return false;
    file.handle = fd;
    file.state = state;
    return true;
}

timespec ToTimespec(const FileTime& time) {
    const UnixTime unix = ToUnixTime(FileTimeValue(time));
    return timespec{static_cast<time_t>(unix.seconds), static_cast<long>(unix.nanoseconds)};
}

// The *at calls go straight to the system: their library wrappers would each add an import.
long OpenAt(const char* name, int flags) {
    return syscall(SYS_openat, posix::HeldFolder, name, flags | O_CLOEXEC, 0666);
}

}  // namespace

bool OpenForReading(FileObject& file, const char* name) {
    char systemName[posix::kSystemNameSize];
    return posix::ToSystemName(name, systemName) && Adopt(file, open(systemName, O_RDONLY | O_CLOEXEC), FileState::Reading);
}

namespace {

// The folders along the current path, outermost first; the last is HeldFolder.
int HeldFolders[kMaxNameLength / 2 + 1];
std::uint32_t HeldCount;

}  // namespace

void LeaveFolders(std::uint32_t keep) {
    while (HeldCount > keep) close(HeldFolders[--HeldCount]);
    posix::HeldFolder = HeldCount != 0 ? HeldFolders[HeldCount - 1] : AT_FDCWD;
}

// O_PATH: a folder that may be searched but not listed can still be entered.
bool EnterFolder(const char*, const char* part) {
    constexpr int kFolder = O_PATH | O_DIRECTORY | O_NOFOLLOW;
    char systemName[posix::kSystemNameSize];
    if (HeldCount == sizeof HeldFolders / sizeof HeldFolders[0] || !posix::ToSystemName(part, systemName)) return false;
    long fd = OpenAt(systemName, kFolder);
    if (fd < 0 && errno == ENOENT && syscall(SYS_mkdirat, posix::HeldFolder, systemName, 0777) == 0)
        fd = OpenAt(systemName, kFolder);
    if (fd < 0) return false;
    posix::HeldFolder = HeldFolders[HeldCount++] = static_cast<int>(fd);
    return true;
}

bool NameExists(const char*, const char* leaf) {
    char systemName[posix::kSystemNameSize];
    struct stat info;
    return posix::ToSystemName(leaf, systemName) && posix::StatusAt(systemName, info);
}

// O_EXCL: the file is new, or the creation fails; nothing standing at the name is opened.
bool CreateForWriting(FileObject& file, const char* name, const char* leaf, bool replace) {
    char systemName[posix::kSystemNameSize];
    const std::size_t length = std::strlen(name);
    if (length > kMaxNameLength || !posix::ToSystemName(leaf, systemName)) return false;
    std::memcpy(file.name, name, length + 1);
    file.leaf = static_cast<std::uint16_t>(leaf - name);
    if (replace) syscall(SYS_unlinkat, posix::HeldFolder, systemName, 0);
    return Adopt(file, OpenAt(systemName, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW), FileState::ReadWrite);
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
    return posix::ToSystemName(file.name + file.leaf, systemName) &&
           syscall(SYS_unlinkat, posix::HeldFolder, systemName, 0) == 0;
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

}  // namespace quorvel::expander
