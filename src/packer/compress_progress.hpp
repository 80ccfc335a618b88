// How far a compression has come, for a progress display: a hook told now and then, on the
// compressing thread, how many of the data's bytes are done.
#pragma once

#include <cstddef>
#include <functional>

namespace quorvel::packer {

using CompressProgress = std::function<void(std::size_t bytesDone)>;

// What a compression tells as it goes, on the compressing thread; either may be empty.
struct CompressHooks {
    CompressProgress progress;
    // The offset in the data that the current pass has come to: the bytes well behind it are
    // not read again by this pass, so that a lender of the data may let go of them (a later
    // pass reads them anew).
    std::function<void(std::size_t offset)> passed;
};

// One pass of a parse over the positions [start, end) of its bytes, standing for the part
// [first, first + share) of the whole compression (as fractions of 1). Asking costs one
// comparison; the hooks are told at most once every kStep positions.
class PassProgress {
public:
    static constexpr std::size_t kStep = std::size_t{1} << 18;

    PassProgress() = default;  // tells nothing
    PassProgress(const CompressHooks& hooks, std::size_t start, std::size_t end, double first, double share)
        : hook_(hooks.progress ? &hooks.progress : nullptr),
          passed_(hooks.passed ? &hooks.passed : nullptr),
          start_(start),
          size_(static_cast<double>(end - start)),
          first_(first),
          share_(share),
          next_(hook_ != nullptr || passed_ != nullptr ? start + kStep : kNever) {}

    void At(std::size_t position) {
        if (position >= next_) Tell(position);
    }

private:
    static constexpr std::size_t kNever = static_cast<std::size_t>(-1);

    void Tell(std::size_t position) {
        const double passDone = static_cast<double>(position - start_) / size_;
        if (hook_ != nullptr) (*hook_)(static_cast<std::size_t>((first_ + share_ * passDone) * size_));
        if (passed_ != nullptr) (*passed_)(position - start_);
        next_ = position + kStep;
    }

    const CompressProgress* hook_ = nullptr;
    const std::function<void(std::size_t)>* passed_ = nullptr;
    std::size_t start_ = 0;
    double size_ = 0;
    double first_ = 0;
    double share_ = 0;
    std::size_t next_ = kNever;
};

}  // namespace quorvel::packer
