// Chunks of work handed from a thread of its own, which fills them, to the thread that made
// it, which reads them in the same order: a ring of a few chunks, so that each side waits
// only when it is a whole ring ahead of the other or has caught up with it. Each side waits
// on the other's count, so a hand-over costs a system call only when the other side sleeps.
#pragma once

#include <atomic>
#include <cstddef>
#include <exception>
#include <stdexcept>
#include <thread>

#include "packer/second_thread.hpp"

namespace quorvel::packer {

template <class Chunk, std::size_t kChunks>
class ChunkHandOff {
public:
    ChunkHandOff() = default;
    // The filling side is told to stop and waited for.
    ~ChunkHandOff() {
        if (!filler_.joinable()) return;
        Leave();
        filler_.join();
    }
    ChunkHandOff(const ChunkHandOff&) = delete;
    ChunkHandOff& operator=(const ChunkHandOff&) = delete;

    // Runs `fill` on a thread of its own: it fills chunks and publishes them, and once it
    // returns, or throws what the reading side will throw after the chunks before, no chunk
    // follows. False when no thread could be had: the caller then does the work itself.
    template <class Fill>
    bool StartFilling(Fill fill) {
        filler_ = ThreadIfAny([this, fill = std::move(fill)]() mutable {
            try {
                fill();
            } catch (...) {
                return End(std::current_exception());
            }
            End(nullptr);
        });
        return filler_.joinable();
    }

    // The filling side.

    // The chunk to fill next; free until it is published.
    Chunk& Filling() { return chunks_[published_.load(std::memory_order_relaxed) % kChunks]; }
    // Hands the chunk filled over and waits until the next one is free; false once the
    // reading side has gone, when nothing more should be filled.
    bool Publish() {
        const std::size_t published = published_.fetch_add(1, std::memory_order_release) + 1;
        published_.notify_one();
        for (;;) {
            const std::size_t released = released_.load(std::memory_order_acquire);
            if (readerGone_.load(std::memory_order_relaxed)) return false;
            if (published - released < kChunks) return true;
            released_.wait(released, std::memory_order_acquire);
        }
    }
    // The reading side.

    // Gives back the chunk held, if any, and waits for the next one.
    const Chunk& Next() {
        std::size_t released = released_.load(std::memory_order_relaxed);
        if (holding_) {
            released_.store(++released, std::memory_order_release);
            released_.notify_one();
        }
        for (;;) {
            const std::size_t published = published_.load(std::memory_order_acquire);
            if (published % kEnded > released) break;
            if (published >= kEnded) {
                holding_ = false;
                if (failure_) std::rethrow_exception(failure_);
                throw std::logic_error("the chunks ended before the reader was done");
            }
            published_.wait(published, std::memory_order_acquire);
        }
        holding_ = true;
        return chunks_[released % kChunks];
    }
private:
    // No chunk follows; `failure`, when set, is what the reading side throws once it has read
    // every chunk before.
    void End(std::exception_ptr failure) {
        failure_ = std::move(failure);
        published_.fetch_add(kEnded, std::memory_order_release);
        published_.notify_one();
    }
    // The reader takes no more chunks: the filling side stops at its next hand-over.
    void Leave() {
        readerGone_.store(true);
        released_.fetch_add(1);  // wakes a filling side that waits for room
        released_.notify_one();
    }

    // Added to published_ when the filling side has ended.
    static_assert(sizeof(std::size_t) >= 8, "the end flag needs a 64-bit count");
    static constexpr std::size_t kEnded = std::size_t{1} << 48;

    Chunk chunks_[kChunks];
    std::atomic<std::size_t> published_ = 0;  // chunks handed over, since the start
    std::atomic<std::size_t> released_ = 0;   // chunks given back
    std::atomic<bool> readerGone_ = false;
    std::exception_ptr failure_;  // set before the end is published
    bool holding_ = false;        // the reading side's: whether it holds a chunk
    std::thread filler_;
};

}  // namespace quorvel::packer
