// A file or folder as the system knows it, whatever path leads to it: device and inode.
#pragma once

#include <sys/stat.h>

#include <compare>

namespace quorvel::tool {

struct FileId {
    dev_t device = 0;
    ino_t inode = 0;

    auto operator<=>(const FileId&) const = default;
};

inline FileId IdOf(const struct stat& info) {
    return {info.st_dev, info.st_ino};
}

}  // namespace quorvel::tool
