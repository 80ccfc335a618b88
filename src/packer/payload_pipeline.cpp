#include "packer/payload_pipeline.hpp"

#include <chrono>
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

}  // namespace

PayloadPipeline::PayloadPipeline(EntryWriter& writer, int effort, unsigned threads, Sink sink)
    : writer_(writer), effort_(effort), sink_(std::move(sink)), pool_(threads) {}

void PayloadPipeline::AddFolder(const std::string& name) {
    pending_.push_back({name, nullptr, {}});
    WriteReady(false);
}

void PayloadPipeline::AddFile(PreparedFile file) {
    auto shared = std::make_shared<PreparedFile>(std::move(file));
    const std::uint64_t size = shared->contents.size();
    bytesHeld_ += size;
    std::future<void> compressed = pool_.Run([this, shared, size] {
        shared->Compress(effort_);
        // Only the compressed data is written: the contents can go at once.
        std::vector<std::uint8_t>().swap(shared->contents);
        bytesHeld_ += shared->entry.compressedData.size();
        bytesHeld_ -= size;
    });
    pending_.push_back({"", std::move(shared), std::move(compressed)});
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
            if (!mustWait && front.compressed.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
            front.compressed.get();  // rethrows what the compression threw
        }
        Write(front);
        pending_.pop_front();
    }
}

void PayloadPipeline::Write(Pending& pending) {
    if (pending.file == nullptr) {
        writer_.AddFolder(pending.folder);
    } else {
        writer_.AddPreparedFile(*pending.file);
        bytesHeld_ -= pending.file->entry.compressedData.size();
        bytesIn_ += pending.file->entry.entrySize;
    }
    ++written_;
    sink_(writer_.TakePayload());
}

}  // namespace quorvel::packer
