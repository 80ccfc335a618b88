#include "tool/extract/file_writer.hpp"

#include <exception>

#include "tool/extract/pending_file.hpp"

namespace quorvel::tool {
namespace {

// Bytes handed to the thread in one piece: one write for most files, few for a large one.
constexpr std::size_t kPieceBytes = std::size_t{256} << 10;
// Handed over and not yet written at most, in bytes and in files; the reader waits beyond,
// until half of them are written.
constexpr std::uint64_t kMaxBytesQueued = std::uint64_t{8} << 20;
constexpr std::size_t kMaxFilesQueued = 64;
// Whole files handed over before the thread is woken for them. Waking it costs the reading
// thread more than a small file costs the writer, so small files go over in batches; a
// piece of a large file, and any wait for the thread, wake it at once.
constexpr std::size_t kFilesPerWakeUp = 16;

}  // namespace

struct FileWriter::File {
    Order order;
    std::deque<std::vector<std::uint8_t>> pieces;  // handed over, not yet written
    bool ended = false;
    bool dropped = false;
    Outcome outcome{Result::Dropped, {}};
};

FileWriter::FileWriter() : thread_([this] { Run(); }) {}

FileWriter::~FileWriter() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    writerWake_.notify_one();
    thread_.join();
}

// Nothing is shared yet: the file goes over with its first bytes, or its end.
void FileWriter::Begin(Order order) {
    begun_ = std::make_unique<File>();
    begun_->order = std::move(order);
}

void FileWriter::Enqueue(Lock& lock) {
    if (!begun_) return;
    WaitForWriter(
        lock, [this] { return unfinished_ < kMaxFilesQueued; },
        [this] { return unfinished_ <= kMaxFilesQueued / 2; });
    files_.push_back(std::move(begun_));
    ++unfinished_;
}

void FileWriter::Write(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        if (filling_.capacity() < kPieceBytes) filling_.reserve(kPieceBytes);
        const std::size_t taken = std::min(kPieceBytes - filling_.size(), bytes.size());
        filling_.insert(filling_.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(taken));
        bytes = bytes.subspan(taken);
        if (filling_.size() == kPieceBytes) HandOver(false);
    }
}

void FileWriter::HandOver(bool last) {
    Lock lock(mutex_);
    Enqueue(lock);
    if (!filling_.empty()) {
        WaitForWriter(
            lock, [this] { return bytesQueued_ < kMaxBytesQueued; },
            [this] { return bytesQueued_ <= kMaxBytesQueued / 2; });
        bytesQueued_ += filling_.size();
        files_.back()->pieces.push_back(std::move(filling_));
        filling_ = {};
        if (!written_.empty()) {
            filling_ = std::move(written_.back());
            written_.pop_back();
        }
    }
    files_.back()->ended = last;
    const bool wake = !last || files_.size() - started_ >= kFilesPerWakeUp;
    lock.unlock();
    if (wake) writerWake_.notify_one();
}

// The thread may be asleep with files it was not woken for, so it is woken before any wait.
void FileWriter::WaitForWriter(Lock& lock, const std::function<bool()>& ready, const std::function<bool()>& resumed) {
    if (ready()) return;
    writerWake_.notify_one();
    while (!resumed()) {
        readerWaitsFor_ = resumed;
        readerWake_.wait(lock);
    }
    readerWaitsFor_ = nullptr;
}

void FileWriter::WakeReaderIfResumed() {
    if (!readerWaitsFor_ || !readerWaitsFor_()) return;
    readerWaitsFor_ = nullptr;  // woken once
    readerWake_.notify_one();
}

void FileWriter::End() { HandOver(true); }

void FileWriter::Drop() {
    filling_.clear();
    {
        Lock lock(mutex_);
        Enqueue(lock);
        files_.back()->dropped = true;
    }
    writerWake_.notify_one();
}

// The outcomes of all files finished by then are taken at once; while none is, the answer
// needs no lock.
std::optional<FileWriter::Outcome> FileWriter::TakeOutcome(bool wait) {
    if (outcomes_.empty() && (wait || finishedFirst_.load(std::memory_order_acquire) != 0)) {
        Lock lock(mutex_);
        if (wait && !files_.empty()) {
            const std::function<bool()> finished = [this] { return finishedFirst_ != 0; };
            WaitForWriter(lock, finished, finished);
        }
        for (; finishedFirst_ != 0; --finishedFirst_, --started_) {
            outcomes_.push_back(std::move(files_.front()->outcome));
            files_.pop_front();
        }
    }
    if (outcomes_.empty()) return std::nullopt;
    Outcome outcome = std::move(outcomes_.front());
    outcomes_.pop_front();
    return outcome;
}

void FileWriter::Run() {
    Lock lock(mutex_);
    for (;;) {
        writerWake_.wait(lock, [this] { return stopping_ || started_ < files_.size(); });
        if (stopping_) return;
        File& file = *files_[started_++];
        file.outcome = WriteFile(file, lock);
        ++finishedFirst_;
        --unfinished_;
        WakeReaderIfResumed();
    }
}

FileWriter::Outcome FileWriter::Failed(const std::string& message, bool repeats) {
    if (repeats) stopped_.store(true, std::memory_order_release);
    return Outcome{Result::Failed, message, repeats};
}

std::optional<std::deque<std::vector<std::uint8_t>>> FileWriter::TakePieces(File& file, Lock& lock, bool& ended) {
    writerWake_.wait(lock, [&] { return stopping_ || file.dropped || file.ended || !file.pieces.empty(); });
    if (stopping_ || file.dropped) {
        for (const auto& left : file.pieces) bytesQueued_ -= left.size();
        file.pieces.clear();
        return std::nullopt;
    }
    std::deque<std::vector<std::uint8_t>> pieces = std::move(file.pieces);
    file.pieces.clear();
    for (const auto& piece : pieces) bytesQueued_ -= piece.size();
    ended = file.ended;
    WakeReaderIfResumed();
    return pieces;
}

void FileWriter::GiveBack(std::deque<std::vector<std::uint8_t>>& pieces) {
    for (std::vector<std::uint8_t>& piece : pieces) {
        piece.clear();
        if (written_.size() < kMaxBytesQueued / kPieceBytes) written_.push_back(std::move(piece));
    }
    pieces.clear();
}

// Makes the file, writes its pieces as they come and names it once they all came; a file
// dropped, failed, or left when the writer stops, is closed unnamed, which leaves nothing
// behind. Once the writer has stopped, a file is not begun. A small file whose bytes all
// came together takes the lock once: to be taken, and its buffers given back with the next.
FileWriter::Outcome FileWriter::WriteFile(File& file, Lock& lock) {
    std::optional<Outcome> failed;
    std::optional<PendingFile> pending;
    if (!HasStopped()) pending.emplace(file.order.folder->get(), file.order.shownPath, file.order.inTarget);
    std::deque<std::vector<std::uint8_t>> written;
    bool ended = false;
    std::optional<Outcome> outcome;
    while (!outcome) {
        GiveBack(written);
        std::optional<std::deque<std::vector<std::uint8_t>>> pieces = TakePieces(file, lock, ended);
        lock.unlock();
        if (!pieces) {
            outcome = Finish(file, pending, failed, false);
        } else {
            for (const std::vector<std::uint8_t>& piece : *pieces) {
                if (!pending || failed) break;
                pending->Write(piece);
                if (const std::optional<EntryFailure> failure = pending->WriteFailure())
                    failed = Failed(failure->what(), failure->repeats);
            }
            if (ended) outcome = Finish(file, pending, failed, true);
            written = std::move(*pieces);
        }
        lock.lock();
    }
    GiveBack(written);
    return *outcome;
}

// Names the file when it is complete; closes it, and lets go of its folder, either way.
FileWriter::Outcome FileWriter::Finish(File& file, std::optional<PendingFile>& pending,
                                       std::optional<Outcome>& failed, bool complete) {
    Outcome outcome = failed ? std::move(*failed) : Outcome{Result::Dropped, {}};
    if (!failed && complete && pending) {
        try {
            pending->Commit(file.order.times, file.order.name, file.order.replace);
            outcome = Outcome{Result::Written, {}};
        } catch (const EntryFailure& failure) {
            outcome = Failed(failure.what(), failure.repeats);
        } catch (const std::exception& error) {
            outcome = Failed(error.what(), false);
        }
    }
    pending.reset();
    file.order.folder.reset();
    return outcome;
}

}  // namespace quorvel::tool
