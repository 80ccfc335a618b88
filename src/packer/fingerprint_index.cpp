#include "packer/fingerprint_index.hpp"

#include "format/archive_format.hpp"
#include "packer/packer_namespace.hpp"

#include <algorithm>
#include <array>
#include <cstring>

namespace quorvel::packer {
namespace {

constexpr std::uint32_t kRunLength = 8;
constexpr std::uint32_t kSampleShift = 60;  // one run in 16 is sampled
constexpr std::uint32_t kRemembered = kMaxReferenceBack;

struct Sampled {
    std::uint64_t fingerprint;
    std::uint32_t offset;
};

// The sampled runs of `bytes`, by fingerprint, each fingerprint once
// with its first offset.
std::vector<Sampled> Sample(std::span<const std::uint8_t> bytes) {
    // Repetitive data samples the same runs over and over (a stretch of zeros, every
    // position). Only a run's first offset is kept, so a run that one of these slots holds
    // already is dropped at once rather than sorted away; the slots only save work.
    constexpr std::uint32_t kRecentBits = 6;
    std::array<std::uint64_t, 1u << kRecentBits> recent;
    recent.fill(~std::uint64_t{0});  // no sampled fingerprint has its top bits set
    std::vector<Sampled> out;
    for (std::size_t i = 0; i + kRunLength <= bytes.size(); ++i) {
        std::uint64_t run;
        std::memcpy(&run, bytes.data() + i, kRunLength);
        const std::uint64_t fingerprint = run * 0x9E3779B97F4A7C15ull;
        if ((fingerprint >> kSampleShift) != 0) continue;
        std::uint64_t& slot = recent[(fingerprint >> (kSampleShift - kRecentBits)) & (recent.size() - 1)];
        if (slot == fingerprint) continue;
        slot = fingerprint;
        out.push_back({fingerprint, static_cast<std::uint32_t>(i)});
    }
    // By fingerprint, then by offset: the order a stable sort by fingerprint would give.
    std::sort(out.begin(), out.end(), [](const Sampled& a, const Sampled& b) {
        return a.fingerprint != b.fingerprint ? a.fingerprint < b.fingerprint : a.offset < b.offset;
    });
    out.erase(std::unique(out.begin(), out.end(),
                          [](const Sampled& a, const Sampled& b) { return a.fingerprint == b.fingerprint; }),
              out.end());
    return out;
}

}  // namespace

void FingerprintIndex::Add(std::span<const std::uint8_t> firstBytes) {
    if (fileFingerprints_.size() == kRemembered) {
        for (std::uint64_t fingerprint : fileFingerprints_.front()) {
            const auto found = postings_.find(fingerprint);
            found->second.erase(found->second.begin());
            if (found->second.empty()) postings_.erase(found);
        }
        fileFingerprints_.pop_front();
    }
    std::vector<std::uint64_t>& own = fileFingerprints_.emplace_back();
    for (const Sampled& run : Sample(firstBytes)) {
        postings_[run.fingerprint].push_back({files_, run.offset});
        own.push_back(run.fingerprint);
    }
    ++files_;
}

std::vector<std::uint32_t> FingerprintIndex::SharedRuns(std::span<const std::uint8_t> contents,
                                                        const std::vector<Region>& regions) const {
    std::vector<std::uint32_t> shared(regions.size(), 0);
    std::vector<std::uint32_t> countedFor(regions.size(), ~0u);
    std::uint32_t wantedEnd = 0;
    for (const Region& region : regions) wantedEnd = std::max(wantedEnd, region.wantedTo);
    const std::vector<Sampled> wanted = Sample(contents.first(std::min<std::size_t>(contents.size(), wantedEnd)));
    for (std::uint32_t w = 0; w < wanted.size(); ++w) {
        const auto found = postings_.find(wanted[w].fingerprint);
        if (found == postings_.end()) continue;
        for (const Posting& posting : found->second) {
            const std::uint32_t back = files_ - 1 - posting.file;
            if (back >= regions.size() || countedFor[back] == w) continue;
            const Region& region = regions[back];
            const std::uint32_t at = wanted[w].offset;
            if (at < region.wantedFrom || at + kRunLength > region.wantedTo) continue;
            if (posting.offset < region.from || posting.offset + kRunLength > region.to) continue;
            countedFor[back] = w;
            ++shared[back];
        }
    }
    return shared;
}

}  // namespace quorvel::packer
