// How far a compression has come, for a progress display: a hook told now and then, on the
// compressing thread, how many of the data's bytes are done.
#pragma once

#include <cstddef>
#include <functional>

namespace quorvel::packer {

using CompressProgress = std::function<void(std::size_t bytesDone)>;

// What a compression tells as it goes; either may be empty.
struct CompressHooks {
    // Told on the compressing thread.
    CompressProgress progress;
    // Bytes [from, to) of the data that the pass telling it does not read again, so that a
    // lender of the data may let go of them (a later pass reads them anew). A pass split in
    // two parts tells each part's bytes from the thread that reads them, perhaps at once.
    std::function<void(std::size_t from, std::size_t to)> passed;
};

// One pass of a parse over the positions [start, end) of its bytes, standing for the part
// [first, first + share) of the whole compression (as fractions of 1). Asking costs one
// comparison; the hooks are told at most once every kStep positions, and the bytes passed
// once they are kKeptBehind behind, well beyond the reach of a match.
class PassProgress {
public:
    static constexpr std::size_t kStep = std::size_t{1} << 18;
    static constexpr std::size_t kKeptBehind = std::size_t{1} << 20;

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

    // The same pass for the part of it from `position` on, read by another thread: it tells
    // only the bytes passed, from there on.
    PassProgress PartFrom(std::size_t position) const {
        PassProgress part = *this;
        part.hook_ = nullptr;
        part.passedTo_ = position - start_;
        part.next_ = part.passed_ != nullptr ? position + kStep : kNever;
        return part;
    }

private:
    static constexpr std::size_t kNever = static_cast<std::size_t>(-1);

    void Tell(std::size_t position) {
        const std::size_t offset = position - start_;
        const double passDone = static_cast<double>(offset) / size_;
        if (hook_ != nullptr) (*hook_)(static_cast<std::size_t>((first_ + share_ * passDone) * size_));
        if (passed_ != nullptr && offset > passedTo_ + kKeptBehind) {
            (*passed_)(passedTo_, offset - kKeptBehind);
            passedTo_ = offset - kKeptBehind;
        }
        next_ = position + kStep;
    }

    const CompressProgress* hook_ = nullptr;
    const std::function<void(std::size_t, std::size_t)>* passed_ = nullptr;
    std::size_t passedTo_ = 0;  // the bytes before it have been told
    std::size_t start_ = 0;
    double size_ = 0;
    double first_ = 0;
    double share_ = 0;
    std::size_t next_ = kNever;
};

}  // namespace quorvel::packer
