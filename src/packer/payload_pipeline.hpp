// Writes the entry records of an archive in order while their files are compressed on
// worker threads: the main thread reads and prepares later files meanwhile. The output
// does not depend on the threads: each file's data depends only on its contents and its
// preset, and records are written strictly in the order they were added.
//
// A file whose contents are lent (a large file mapped into memory) is not held whole in
// any form: its data comes from the worker in pieces, which wait, a few megabytes at most,
// until the entry's turn comes and are then written as they come.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <span>
#include <string>

#include "packer/entry_writer.hpp"
#include "packer/task_pool.hpp"

namespace quorvel::packer {

class PayloadPipeline {
public:
    // Receives the payload bytes of the entries written, after each entry.
    using Sink = std::function<void(std::vector<std::uint8_t> payload)>;
    // Receives the payload of an entry still being written (a lent file's record and data so
    // far); without one, those bytes reach the Sink with the rest of the entry.
    using PartSink = std::function<void(std::vector<std::uint8_t> payload)>;

    // `threads`: files compressed at once (at least 1), while this thread reads the next;
    // with two or more, a large file is also parsed on two threads.
    PayloadPipeline(EntryWriter& writer, int effort, unsigned threads, Sink sink, PartSink part = {});
    // Lets a compression waiting to hand over its data go on, so that the threads can end.
    ~PayloadPipeline();

    void AddFolder(const std::string& name);
    void AddFile(PreparedFile file);
    // Writes every entry still waiting.
    void Finish();

    std::size_t EntriesWritten() const { return written_; }
    std::uint64_t BytesWritten() const { return bytesIn_; }

private:
    class PieceQueue;
    struct Pending {
        std::string folder;                  // when it is a folder entry
        std::shared_ptr<PreparedFile> file;  // when it is a file entry
        std::future<void> compressed;
        std::shared_ptr<PieceQueue> pieces;  // when its data comes in pieces
        bool headWritten = false;
    };

    // Writes the entries at the front that are ready; waits for them while the bytes held
    // are more than a bound, or when `all`.
    void WriteReady(bool all);
    // Writes the pieces of the front entry's data that have come; true once all have.
    bool WritePieces(Pending& pending, bool wait);
    void Write(Pending& pending);

    EntryWriter& writer_;
    int effort_;
    bool twoThreads_;
    Sink sink_;
    PartSink part_;
    std::deque<Pending> pending_;
    std::atomic<std::uint64_t> bytesHeld_ = 0;  // the workers trade contents for compressed data
    std::size_t written_ = 0;
    std::uint64_t bytesIn_ = 0;
    TaskPool pool_;  // last: its threads stop before the rest goes
};

}  // namespace quorvel::packer
