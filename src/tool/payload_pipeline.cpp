#include "tool/payload_pipeline.hpp"

#include <chrono>
#include <thread>

namespace quorvel::tool {
namespace {

// File contents held in memory at most, beyond the entry being waited for.
constexpr std::uint64_t kMaxBytesHeld = std::uint64_t{256} << 20;

}  // namespace

PayloadPipeline::PayloadPipeline(EntryWriter& writer, int effort, Sink sink)
    : writer_(writer), effort_(effort), sink_(std::move(sink)), pool_(std::thread::hardware_concurrency()) {}

void PayloadPipeline::AddFolder(const std::string& name) {
    pending_.push_back({name, nullptr, {}});
    WriteReady(false);
}

void PayloadPipeline::AddFile(PreparedFile file) {
    auto shared = std::make_shared<PreparedFile>(std::move(file));
    bytesHeld_ += shared->contents.size();
    const int effort = effort_;
    std::future<void> compressed = pool_.Run([shared, effort] { shared->Compress(effort); });
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
            const bool mustWait = all || bytesHeld_ > kMaxBytesHeld;
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
        bytesHeld_ -= pending.file->contents.size();
        bytesIn_ += pending.file->contents.size();
    }
    ++written_;
    sink_(writer_.TakePayload());
}

}  // namespace quorvel::tool
