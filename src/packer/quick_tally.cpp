#include "packer/quick_tally.hpp"

#include <atomic>
#include <exception>
#include <thread>
#include <vector>

#include "packer/second_thread.hpp"

namespace quorvel::packer {
namespace {

struct PlacedItem {
    std::size_t position;
    Item item;
};

// The second half's parse, on a thread of its own: counts every item and keeps those that
// start within the stretch where the first half's parse may meet it.
class SecondHalf final : public ItemSink {
public:
    SecondHalf(const JoinedBytes& bytes, std::size_t middle, std::size_t meetWithin, const LazyRules& rules,
               PassProgress progress)
        : position_(middle),
          meetEnd_(middle + meetWithin),
          thread_(ThreadIfAny([this, bytes, middle, rules, progress] { Parse(bytes, middle, rules, progress); })) {}
    // False when no thread could be started (a limit on threads).
    bool Running() const { return thread_.joinable(); }
    ~SecondHalf() {
        Stop();
        if (thread_.joinable()) thread_.join();
    }
    SecondHalf(const SecondHalf&) = delete;
    SecondHalf& operator=(const SecondHalf&) = delete;

    bool Take(const Item& item) override {
        if (stop_.load(std::memory_order_relaxed)) return false;
        if (position_ < meetEnd_) {
            early_.push_back({position_, item});
        } else if (!earlyKept_.load(std::memory_order_relaxed)) {
            KeptAll();
        }
        tally_.Take(item);
        position_ += item.Size();
        return true;
    }

    // Stops the parse, wherever it is: its count is not wanted.
    void Stop() { stop_.store(true); }
    // The items that start within the stretch, once all are known.
    const std::vector<PlacedItem>& Early() {
        earlyKept_.wait(false);
        return early_;
    }
    // Waits for the parse to end; its count, less that of its items before `position`.
    SymbolTally CountFrom(std::size_t position) {
        thread_.join();
        if (failure_) std::rethrow_exception(failure_);
        SymbolTally before;
        for (std::size_t k = 0; k < early_.size() && early_[k].position < position; ++k) before.Take(early_[k].item);
        for (std::size_t s = 0; s < kSymbolCount; ++s) {
            tally_.symbols[s] -= before.symbols[s];
            tally_.distances[s] -= before.distances[s];
        }
        return tally_;
    }

private:
    void Parse(const JoinedBytes& bytes, std::size_t middle, const LazyRules& rules, PassProgress progress) {
        try {
            HashChains chains;
            ParseLazily(bytes, middle, rules, chains, *this, progress);
        } catch (...) {
            failure_ = std::current_exception();
        }
        KeptAll();
    }
    void KeptAll() {
        earlyKept_.store(true);
        earlyKept_.notify_all();
    }

    std::size_t position_;
    std::size_t meetEnd_;
    std::vector<PlacedItem> early_;
    SymbolTally tally_;
    std::exception_ptr failure_;
    std::atomic<bool> earlyKept_ = false;
    std::atomic<bool> stop_ = false;
    std::thread thread_;  // last: it starts once the rest is ready
};

// The first half's parse: counts its items until one starts where one of the second half's
// did, or, past the stretch where they may meet, to the end.
class FirstHalf final : public ItemSink {
public:
    FirstHalf(std::size_t start, std::size_t middle, std::size_t meetWithin, SecondHalf& second)
        : position_(start), middle_(middle), meetEnd_(middle + meetWithin), second_(&second) {}

    bool Take(const Item& item) override {
        if (position_ >= middle_ && second_ != nullptr && MeetsSecondHalf()) return false;
        tally.Take(item);
        position_ += item.Size();
        return true;
    }

    // Where the halves met; 0 when they did not.
    std::size_t met = 0;
    SymbolTally tally;

private:
    bool MeetsSecondHalf() {
        const std::vector<PlacedItem>& early = second_->Early();
        while (nextEarly_ < early.size() && early[nextEarly_].position < position_) ++nextEarly_;
        if (nextEarly_ < early.size() && early[nextEarly_].position == position_) {
            met = position_;
            return true;
        }
        if (position_ >= meetEnd_ || nextEarly_ == early.size()) {  // alone from here
            second_->Stop();
            second_ = nullptr;
        }
        return false;
    }

    std::size_t position_;
    std::size_t middle_;
    std::size_t meetEnd_;
    SecondHalf* second_;
    std::size_t nextEarly_ = 0;
};

}  // namespace

SymbolTally TallyQuickParse(const JoinedBytes& bytes, std::size_t start, const LazyRules& rules, HashChains& chains,
                            bool twoThreads, PassProgress progress, std::size_t meetWithin) {
    const auto parseAlone = [&] {
        SymbolTally tally;
        ParseLazily(bytes, start, rules, chains, tally, progress);
        return tally;
    };
    const std::size_t middle = start + (bytes.size() - start) / 2;
    if (!twoThreads || middle - start < kMaxDistance + meetWithin) return parseAlone();
    SecondHalf second(bytes, middle, meetWithin, rules, progress.PartFrom(middle));
    if (!second.Running()) return parseAlone();
    FirstHalf first(start, middle, meetWithin, second);
    ParseLazily(bytes, start, rules, chains, first, progress);
    if (first.met == 0) return first.tally;
    SymbolTally tally = second.CountFrom(first.met);
    for (std::size_t s = 0; s < kSymbolCount; ++s) {
        tally.symbols[s] += first.tally.symbols[s];
        tally.distances[s] += first.tally.distances[s];
    }
    return tally;
}

}  // namespace quorvel::packer
