// Extracted files written on a thread of their own, so that the reader decodes the next
// file while this one is made, written, given its mode and times, named and closed. Files
// are done one after another in the order they were begun, each as a PendingFile; their
// outcomes are taken in that order too.
//
// A failure that would repeat for every later file stops the writer at once: the file's
// bytes are taken no more (the reading side throws Stopped once HasStopped), and the files
// after it are not begun, so nothing of theirs is left.
//
// While the thread runs, it alone takes SIGINT, SIGTERM and SIGHUP: the thread that starts
// it holds them back. Every temporary name is made, registered and removed on the writing
// thread, under its own InterruptHold, so an interrupt never falls between making a name and
// registering it.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "reader/archive_reader.hpp"
#include "tool/common/interrupt_cleanup.hpp"
#include "tool/common/unique_fd.hpp"
#include "tool/tool_namespace.hpp"

namespace quorvel::tool {

class FileWriter {
public:
    // What to make of one file.
    struct Order {
        UniqueFd folder;        // the folder it goes into, a descriptor of the file's own
        std::string shownPath;  // names it in messages
        std::string name;       // its name in the folder
        bool inTarget = false;  // the folder is the target folder itself
        bool replace = false;   // whether it replaces what stands under the name
        EntryTimes times;
        mode_t umask = 0;
    };
    enum class Result { Written, Failed, Dropped };
    struct Outcome {
        Result result;
        std::string message;  // why it failed
        bool repeats = false;  // the failure would repeat for every later file
    };
    // Thrown into the reading of a file's data once the writer has stopped.
    struct Stopped {};

    FileWriter();
    // Drops the files not finished, leaving nothing under their names, and waits for the thread.
    ~FileWriter();
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    // Starts a file; its bytes follow with Write, then End, or Drop.
    void Begin(Order order);
    void Write(std::span<const std::uint8_t> bytes);
    // All its bytes are given: the file can be named.
    void End();
    // The file begun last is given up.
    void Drop();

    // The outcome of the oldest file whose outcome was not taken yet: once it is finished, or
    // at once when `wait`. Nothing when no file is left, or it is not finished and not waited for.
    std::optional<Outcome> TakeOutcome(bool wait);
    // A file failed in a way that would repeat: its outcome, when taken, says how.
    bool HasStopped() const { return stopped_.load(std::memory_order_acquire); }

private:
    struct File;

    // Passes the bytes filled so far to the thread; `last`: they end the file.
    void HandOver(bool last);
    // Waits on the reading side until `ready()`, with the lock held.
    template <class Ready>
    void WaitForWriter(std::unique_lock<std::mutex>& lock, Ready ready);
    // Keeps a written piece's buffer for a later piece.
    void Recycle(std::vector<std::uint8_t> piece);
    void Run();
    void WriteFile(File& file);
    // The outcome of a failed file; a failure that repeats stops the writer.
    Outcome Failed(const std::string& message, bool repeats);
    std::optional<std::vector<std::uint8_t>> NextPiece(File& file, bool& complete);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::unique_ptr<File>> files_;  // oldest first, until their outcome is taken
    std::size_t started_ = 0;                  // files_ the thread has begun
    std::size_t unfinished_ = 0;               // files_ the thread has not finished
    std::uint64_t bytesQueued_ = 0;            // handed over and not yet written
    bool stopping_ = false;
    std::atomic<bool> stopped_{false};
    std::vector<std::vector<std::uint8_t>> written_;  // buffers of written pieces, for new ones
    std::vector<std::uint8_t> filling_;  // bytes of the newest file not yet handed over
    std::thread thread_;
    std::optional<InterruptHold> interruptsLeftToWriter_;
};

}  // namespace quorvel::tool
