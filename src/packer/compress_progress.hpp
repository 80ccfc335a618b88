// How far a compression has come, for a progress display: a hook told now and then, on the
// compressing thread, how many of the data's bytes are done.
#pragma once

#include <cstddef>
#include <functional>

namespace quorvel::packer {

using CompressProgress = std::function<void(std::size_t bytesDone)>;

// One pass of a parse over the positions [start, end) of its bytes, standing for the part
// [first, first + share) of the whole compression (as fractions of 1). Asking costs one
// comparison; the hook is told at most once every kStep positions.
class PassProgress {
public:
    static constexpr std::size_t kStep = std::size_t{1} << 18;

    PassProgress() = default;  // tells nothing
    PassProgress(const CompressProgress& hook, std::size_t start, std::size_t end, double first, double share)
        : hook_(hook ? &hook : nullptr),
          start_(start),
          size_(static_cast<double>(end - start)),
          first_(first),
          share_(share),
          next_(hook ? start + kStep : kNever) {}

    void At(std::size_t position) {
        if (position >= next_) Tell(position);
    }

private:
    static constexpr std::size_t kNever = static_cast<std::size_t>(-1);

    void Tell(std::size_t position) {
        const double passDone = static_cast<double>(position - start_) / size_;
        (*hook_)(static_cast<std::size_t>((first_ + share_ * passDone) * size_));
        next_ = position + kStep;
    }

    const CompressProgress* hook_ = nullptr;
    std::size_t start_ = 0;
    double size_ = 0;
    double first_ = 0;
    double share_ = 0;
    std::size_t next_ = kNever;
};

}  // namespace quorvel::packer
