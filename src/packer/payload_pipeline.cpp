#include "packer/payload_pipeline.hpp"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace quorvel::packer {
namespace {

// File bytes held at most before the entry at the front is waited for: contents waiting
// for or in compression, and compressed data waiting to be written. Room for two large files
// at once, one for each core, while the rest of the memory goes to their compression.
constexpr std::uint64_t kMaxBytesHeld = std::uint64_t{64} << 20;
// Entries waiting at most. Each file waiting also holds the first bytes of the earlier
// files its reference is chosen among (up to 16 KB each, shared): with many small files
// those, not the contents, would fill the memory. A thousand is still far more than the
// threads need to stay busy.
constexpr std::size_t kMaxEntriesWaiting = 1024;
// Data of a lent file made but not yet written, at most, before its compression waits.
constexpr std::size_t kMaxPieceBytesWaiting = 4 * ItemEncoder::kPieceBytes;

// What ends a compression whose data the writer no longer takes.
struct PiecesAbandoned {};

}  // namespace

// A lent file's data on its way from the compressing thread to the writer.
class PayloadPipeline::PieceQueue {
public:
    // Waits while too much is waiting already. Once the writer has gone, throws
    // PiecesAbandoned, so that the compression ends at once rather than run on for nothing.
    void Push(std::vector<std::uint8_t> piece) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return bytes_ < kMaxPieceBytesWaiting || abandoned_; });
        if (abandoned_) throw PiecesAbandoned{};
        bytes_ += piece.size();
        pieces_.push_back(std::move(piece));
        changed_.notify_all();
    }
    // No more pieces: the compression has ended, well or not.
    void Close() {
        std::lock_guard lock(mutex_);
        closed_ = true;
        changed_.notify_all();
    }
    // The writer takes no more pieces.
    void Abandon() {
        std::lock_guard lock(mutex_);
        abandoned_ = true;
        changed_.notify_all();
    }
    // The pieces waiting, after waiting for one or for the end when `wait`; `closed` tells
    // whether these were the last.
    std::deque<std::vector<std::uint8_t>> Take(bool wait, bool& closed) {
        std::unique_lock lock(mutex_);
        if (wait) changed_.wait(lock, [&] { return !pieces_.empty() || closed_; });
        closed = closed_;
        bytes_ = 0;
        changed_.notify_all();
        return std::exchange(pieces_, {});
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<std::uint8_t>> pieces_;
    std::size_t bytes_ = 0;
    bool closed_ = false;
    bool abandoned_ = false;
};

PayloadPipeline::PayloadPipeline(EntryWriter& writer, int effort, unsigned threads, Sink sink, PartSink part)
    : writer_(writer),
      effort_(effort),
      twoThreads_(threads > 1),
      sink_(std::move(sink)),
      part_(std::move(part)),
      pool_(threads) {}

PayloadPipeline::~PayloadPipeline() {
    for (Pending& pending : pending_)
        if (pending.pieces != nullptr) pending.pieces->Abandon();
}

void PayloadPipeline::AddFolder(const std::string& name) {
    pending_.push_back({name, nullptr, {}, nullptr, false});
    WriteReady(false);
}

void PayloadPipeline::AddFile(PreparedFile file) {
    auto shared = std::make_shared<PreparedFile>(std::move(file));
    // Lent contents are not held here, their lender keeps only what is being read; they are
    // counted as the data they may have waiting, which bounds how many are mapped at once.
    const std::uint64_t size = shared->IsLent() ? kMaxPieceBytesWaiting : shared->contents.size();
    bytesHeld_ += size;
    std::shared_ptr<PieceQueue> pieces;
    if (shared->IsLent()) {
        pieces = std::make_shared<PieceQueue>();
        shared->dataPieces = [pieces](std::vector<std::uint8_t> piece) { pieces->Push(std::move(piece)); };
    }
    std::future<void> compressed = pool_.Run([this, shared, size, pieces] {
        // However the compression ends, the writer waiting for its pieces learns of it.
        struct CloseAtEnd {
            PieceQueue* queue;
            ~CloseAtEnd() {
                if (queue != nullptr) queue->Close();
            }
        } closeAtEnd{pieces.get()};
        shared->Compress(effort_, twoThreads_);
        // Only the compressed data is written: the contents can go at once.
        std::vector<std::uint8_t>().swap(shared->contents);
        shared->lent = {};
        bytesHeld_ += shared->entry.compressedData.size();
        bytesHeld_ -= size;
    });
    pending_.push_back({"", std::move(shared), std::move(compressed), std::move(pieces), false});
    WriteReady(false);
}

void PayloadPipeline::Finish() {
    WriteReady(true);
}

void PayloadPipeline::WriteReady(bool all) {
    while (!pending_.empty()) {
        Pending& front = pending_.front();
        if (front.file != nullptr) {
            const bool mustWait = all || bytesHeld_ > kMaxBytesHeld || pending_.size() > kMaxEntriesWaiting;
            if (front.pieces != nullptr) {
                if (!WritePieces(front, mustWait)) return;
            } else if (!mustWait && front.compressed.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
                return;
            }
            front.compressed.get();  // rethrows what the compression threw
        }
        Write(front);
        pending_.pop_front();
    }
}

bool PayloadPipeline::WritePieces(Pending& pending, bool wait) {
    for (;;) {
        bool closed = false;
        const std::deque<std::vector<std::uint8_t>> pieces = pending.pieces->Take(wait, closed);
        // The record names the file's reference, which the compression chooses before it
        // hands over any data: the record is written with the first piece, or at the end.
        if (!pending.headWritten && (closed || !pieces.empty())) {
            writer_.AddFileRecordHead(pending.file->entry);
            pending.headWritten = true;
        }
        for (const std::vector<std::uint8_t>& piece : pieces) {
            writer_.AddFileData(piece);
            if (part_) part_(writer_.TakePayload());
        }
        if (closed) return true;
        if (!wait) return false;
    }
}

void PayloadPipeline::Write(Pending& pending) {
    if (pending.file == nullptr) {
        writer_.AddFolder(pending.folder);
    } else {
        // A file written in pieces has its record and all but the data's last bytes out.
        if (pending.pieces != nullptr) {
            writer_.AddFileData(pending.file->entry.compressedData);
        } else {
            writer_.AddPreparedFile(*pending.file);
        }
        bytesHeld_ -= pending.file->entry.compressedData.size();
        bytesIn_ += pending.file->entry.entrySize;
    }
    ++written_;
    sink_(writer_.TakePayload());
}

}  // namespace quorvel::packer
