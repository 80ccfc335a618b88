// A second thread for work that the caller could also do itself, one after the other.
#pragma once

#include <system_error>
#include <thread>
#include <utility>

namespace quorvel::packer {

// A thread running `work`, or none (not joinable) where the system gives no more threads (a
// limit on them): the caller then does the work on its own thread, to the same result.
template <class Work>
std::thread ThreadIfAny(Work&& work) {
    try {
        return std::thread(std::forward<Work>(work));
    } catch (const std::system_error&) {
        return {};
    }
}

}  // namespace quorvel::packer
