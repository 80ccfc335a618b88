#include "packer/items_ahead.hpp"

#include <vector>

#include "packer/chunk_hand_off.hpp"
#include "packer/hash_chains.hpp"

namespace quorvel::packer {
namespace {

// A chunk ends after so many items or once they cover so many bytes.
constexpr std::size_t kChunkItems = std::size_t{1} << 14;
constexpr std::size_t kChunkReach = std::size_t{1} << 18;

using ItemChunks = ChunkHandOff<std::vector<Item>, 8>;

// The parse's sink on the second thread: fills chunks and hands them over.
class ChunkFiller final : public ItemSink {
public:
    explicit ChunkFiller(ItemChunks& chunks) : chunks_(chunks) { StartChunk(); }

    bool Take(const Item& item) override {
        chunk_->push_back(item);
        reach_ += item.Size();
        if (chunk_->size() < kChunkItems && reach_ < kChunkReach) return true;
        if (!chunks_.Publish()) return false;
        StartChunk();
        return true;
    }
    // Hands over what the last chunk holds.
    void Finish() {
        if (!chunk_->empty()) chunks_.Publish();
    }

private:
    void StartChunk() {
        chunk_ = &chunks_.Filling();
        chunk_->clear();
        reach_ = 0;
    }

    ItemChunks& chunks_;
    std::vector<Item>* chunk_ = nullptr;
    std::size_t reach_ = 0;
};

}  // namespace

void ParseLazilyAhead(const JoinedBytes& bytes, std::size_t start, const LazyRules& rules, ItemSink& sink,
                      PassProgress progress) {
    ItemChunks chunks;  // stops the parse wherever it is when it goes
    const bool running = chunks.StartFilling([&chunks, bytes, start, rules] {
        HashChains chains;
        ChunkFiller filler(chunks);
        ParseLazily(bytes, start, rules, chains, filler);
        filler.Finish();
    });
    if (!running) {
        HashChains chains;
        return ParseLazily(bytes, start, rules, chains, sink, progress);
    }
    std::size_t position = start;
    while (position < bytes.size()) {
        progress.At(position);
        for (const Item& item : chunks.Next()) {
            if (!sink.Take(item)) return;
            position += item.Size();
        }
    }
}

}  // namespace quorvel::packer
