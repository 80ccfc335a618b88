// File status straight from the system calls: the C library's stat functions carry symbol
// versions of 2.33 and later, which the older systems the Expander runs on lack. On x86_64
// the kernel's struct stat is the C library's.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace quorvel::expander::posix {

// The innermost target folder held: a descriptor, or AT_FDCWD for the run's own folder.
extern int HeldFolder;

inline bool StatusOf(int fd, struct stat& info) { return syscall(SYS_fstat, fd, &info) == 0; }

// What a path leads to, through any links.
inline bool StatusOf(const char* path, struct stat& info) {
    return syscall(SYS_newfstatat, AT_FDCWD, path, &info, 0) == 0;
}

// What stands at a name in the held folder, a link looked at itself.
inline bool StatusAt(const char* name, struct stat& info) {
    return syscall(SYS_newfstatat, HeldFolder, name, &info, AT_SYMLINK_NOFOLLOW) == 0;
}

}  // namespace quorvel::expander::posix
