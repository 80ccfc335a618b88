// A file descriptor owned by its scope, closed when it ends.
#pragma once

#include <unistd.h>

#include <utility>

namespace quorvel::tool {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now; the result of close, 0 when there was nothing to close.
    int Reset() { return fd_ >= 0 ? close(std::exchange(fd_, -1)) : 0; }

private:
    int fd_ = -1;
};

}  // namespace quorvel::tool
