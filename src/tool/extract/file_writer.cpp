#include "tool/extract/file_writer.hpp"

#include <exception>

#include "tool/extract/pending_file.hpp"

namespace quorvel::tool {
namespace {

// Bytes handed to the thread in one piece: one write for most files, few for a large one.
constexpr std::size_t kPieceBytes = std::size_t{256} << 10;
// Handed over and not yet written at most, in bytes and in files; the reader waits beyond.
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
    bool finished = false;
    Outcome outcome{Result::Dropped, {}};
};

FileWriter::FileWriter() : thread_([this] { Run(); }) {
    // The thread was made with the interrupts open, as this one had them.
    interruptsLeftToWriter_.emplace();
}

FileWriter::~FileWriter() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
    interruptsLeftToWriter_.reset();
}

// The thread is not woken here: HandOver decides when, once the file's bytes are given.
void FileWriter::Begin(Order order) {
    auto file = std::make_unique<File>();
    file->order = std::move(order);
    std::unique_lock lock(mutex_);
    WaitForWriter(lock, [this] { return unfinished_ < kMaxFilesQueued; });
    files_.push_back(std::move(file));
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
    std::unique_lock lock(mutex_);
    if (!filling_.empty()) {
        WaitForWriter(lock, [this] { return bytesQueued_ < kMaxBytesQueued; });
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
    if (wake) changed_.notify_all();
}

// The thread may be asleep with files it was not woken for, so it is woken before any wait.
template <class Ready>
void FileWriter::WaitForWriter(std::unique_lock<std::mutex>& lock, Ready ready) {
    if (ready()) return;
    changed_.notify_all();
    changed_.wait(lock, ready);
}

void FileWriter::Recycle(std::vector<std::uint8_t> piece) {
    piece.clear();
    const std::lock_guard lock(mutex_);
    if (written_.size() < kMaxBytesQueued / kPieceBytes) written_.push_back(std::move(piece));
}

void FileWriter::End() { HandOver(true); }

void FileWriter::Drop() {
    filling_.clear();
    {
        const std::lock_guard lock(mutex_);
        files_.back()->dropped = true;
    }
    changed_.notify_all();
}

std::optional<FileWriter::Outcome> FileWriter::TakeOutcome(bool wait) {
    std::unique_lock lock(mutex_);
    if (files_.empty() || (!wait && !files_.front()->finished)) return std::nullopt;
    WaitForWriter(lock, [this] { return files_.front()->finished; });
    Outcome outcome = std::move(files_.front()->outcome);
    files_.pop_front();
    --started_;
    return outcome;
}

void FileWriter::Run() {
    for (;;) {
        File* file = nullptr;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || started_ < files_.size(); });
            if (stopping_) return;
            file = files_[started_++].get();
        }
        WriteFile(*file);
    }
}

FileWriter::Outcome FileWriter::Failed(const std::string& message, bool repeats) {
    if (repeats) stopped_.store(true, std::memory_order_release);
    return Outcome{Result::Failed, message, repeats};
}

// Makes the file, writes its pieces as they come and names it once they all came; a file
// dropped, failed, or left when the writer stops, is closed unnamed, which leaves nothing
// behind. Once the writer has stopped, a file is not begun.
void FileWriter::WriteFile(File& file) {
    std::optional<Outcome> failed;
    std::optional<PendingFile> pending;
    if (!HasStopped()) {
        try {
            pending.emplace(file.order.folder.get(), file.order.shownPath, file.order.inTarget);
        } catch (const EntryFailure& failure) {
            failed = Failed(failure.what(), failure.repeats);
        } catch (const std::exception& error) {
            failed = Failed(error.what(), false);
        }
    }
    bool complete = false;
    while (std::optional<std::vector<std::uint8_t>> piece = NextPiece(file, complete)) {
        if (pending && !failed) {
            pending->Write(*piece);
            if (const std::optional<EntryFailure> failure = pending->WriteFailure())
                failed = Failed(failure->what(), failure->repeats);
        }
        Recycle(std::move(*piece));
    }
    Outcome outcome = failed ? std::move(*failed) : Outcome{Result::Dropped, {}};
    if (!failed && complete && pending) {
        try {
            pending->Commit(file.order.times, file.order.umask, file.order.name, file.order.replace);
            outcome = Outcome{Result::Written, {}};
        } catch (const EntryFailure& failure) {
            outcome = Failed(failure.what(), failure.repeats);
        } catch (const std::exception& error) {
            outcome = Failed(error.what(), false);
        }
    }
    pending.reset();
    file.order.folder.Reset();
    {
        const std::lock_guard lock(mutex_);
        file.outcome = std::move(outcome);
        file.finished = true;
        --unfinished_;
    }
    changed_.notify_all();
}

// The file's next piece; nothing once all were taken (`complete` set) or it was dropped.
std::optional<std::vector<std::uint8_t>> FileWriter::NextPiece(File& file, bool& complete) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stopping_ || file.dropped || file.ended || !file.pieces.empty(); });
    if (stopping_ || file.dropped) {
        for (const auto& left : file.pieces) bytesQueued_ -= left.size();
        file.pieces.clear();
        return std::nullopt;
    }
    if (file.pieces.empty()) {
        complete = true;
        return std::nullopt;
    }
    std::vector<std::uint8_t> piece = std::move(file.pieces.front());
    file.pieces.pop_front();
    bytesQueued_ -= piece.size();
    lock.unlock();
    changed_.notify_all();
    return piece;
}

}  // namespace quorvel::tool
