// Extracted files written on a thread of their own, so that the reader decodes the next
// file while this one is made, written, given its times, named and closed. Files are done
// one after another in the order they were begun, each as a PendingFile; their outcomes are
// taken in that order too.
//
// The two threads meet as seldom as they can, since each meeting may cost a system call
// when the other thread holds the lock or sleeps: small files go over in batches, the
// writer takes a file with all its bytes handed over so far at once, and a thread that
// waits for the other is woken only once there is a batch of work, or of room, for it.
//
// A failure that would repeat for every later file stops the writer at once: the file's
// bytes are taken no more (the reading side throws Stopped once HasStopped), and the files
// after it are not begun, so nothing of theirs is left.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "reader/archive_reader.hpp"
#include "tool/extract/pending_file.hpp"
#include "tool/extract/target_folder.hpp"
#include "tool/tool_namespace.hpp"

namespace quorvel::tool {

class FileWriter {
public:
    // What to make of one file.
    struct Order {
        SharedFolder folder;    // the folder it goes into
        std::string shownPath;  // names it in messages
        std::string name;       // its name in the folder
        bool inTarget = false;  // the folder is the target folder itself
        bool replace = false;   // whether it may replace what stands under the name
        EntryTimes times;
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
    using Lock = std::unique_lock<std::mutex>;

    // Passes the file begun last to the thread, with the bytes filled so far; `last`: they
    // end the file.
    void HandOver(bool last);
    // Queues the file begun last, once there is room for it.
    void Enqueue(Lock& lock);
    // Waits on the reading side until `ready()`; when it is not, until `resumed()`, which is
    // at least as strict, so that the writer wakes this thread once for a batch.
    void WaitForWriter(Lock& lock, const std::function<bool()>& ready, const std::function<bool()>& resumed);
    void WakeReaderIfResumed();
    void Run();
    // The file made, written and named; the lock is held on entry and on return.
    Outcome WriteFile(File& file, Lock& lock);
    Outcome Finish(File& file, std::optional<PendingFile>& pending, std::optional<Outcome>& failed, bool complete);
    // Keeps written pieces' buffers for later pieces; with the lock held.
    void GiveBack(std::deque<std::vector<std::uint8_t>>& pieces);
    // The file's pieces handed over since it was last asked; `ended` once there are no more.
    // Nothing when it was dropped or the writer stops.
    std::optional<std::deque<std::vector<std::uint8_t>>> TakePieces(File& file, Lock& lock, bool& ended);
    // The outcome of a failed file; a failure that repeats stops the writer.
    Outcome Failed(const std::string& message, bool repeats);

    std::mutex mutex_;
    std::condition_variable writerWake_;
    std::condition_variable readerWake_;
    std::function<bool()> readerWaitsFor_;     // set while the reading side sleeps
    std::deque<std::unique_ptr<File>> files_;  // oldest first, until their outcome is taken
    std::size_t started_ = 0;                  // files_ the thread has begun
    std::size_t unfinished_ = 0;               // files_ the thread has not finished
    std::atomic<std::size_t> finishedFirst_{0};  // the oldest files_, finished
    std::uint64_t bytesQueued_ = 0;              // handed over and not yet written
    bool stopping_ = false;
    std::atomic<bool> stopped_{false};
    std::vector<std::vector<std::uint8_t>> written_;  // buffers of written pieces, for new ones

    // The reading side's own.
    std::unique_ptr<File> begun_;        // begun and not handed over yet
    std::vector<std::uint8_t> filling_;  // bytes of the newest file not yet handed over
    std::deque<Outcome> outcomes_;       // taken from the thread, not yet from this class

    std::thread thread_;
};

}  // namespace quorvel::tool
