// File status straight from the system calls: the C library's stat functions carry symbol
// versions of 2.33 and later, which the older systems the Expander runs on lack. On x86_64
// the kernel's struct stat is the C library's.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace quorvel::posix {

inline bool StatusOf(int fd, struct stat& info) { return syscall(SYS_fstat, fd, &info) == 0; }

// A link is looked at itself, or followed to what it leads to.
inline bool StatusOf(const char* path, struct stat& info, bool followLink) {
    return syscall(SYS_newfstatat, AT_FDCWD, path, &info, followLink ? 0 : AT_SYMLINK_NOFOLLOW) == 0;
}

}  // namespace quorvel::posix
