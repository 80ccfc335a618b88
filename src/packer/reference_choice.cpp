#include "packer/reference_choice.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "format/archive_format.hpp"
#include "format/window_preset.hpp"
#include "packer/packer_namespace.hpp"
#include "packer/parse_by_effort.hpp"
#include "packer/size_estimate.hpp"

namespace quorvel::packer {

std::string ExtensionOf(const std::string& storedName) {
    const std::size_t nameStart = storedName.rfind('\\') + 1;
    const std::size_t dot = storedName.rfind('.');
    if (dot == std::string::npos || dot < nameStart || dot == nameStart) return "";
    std::string extension = storedName.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return extension;
}

namespace {

constexpr std::size_t kMaxSharedPrefix = 65535;
constexpr std::size_t kHistoryBytes = kSlotSize;
constexpr std::size_t kHistoryFiles = kMaxReferenceBack;
// A preset matters only until the window has moved past it.
constexpr std::size_t kTrialLength = 8192;
constexpr std::size_t kPrefixCandidates = 3;
constexpr std::size_t kExtensionCandidates = 2;
constexpr std::size_t kContentCandidates = 4;
constexpr int kTrialEffort = 3;

struct Candidate {
    std::uint32_t referenceBack;
    std::size_t sharedPrefix;
};

std::size_t SharedPrefix(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
    const std::size_t limit = std::min({a.size(), b.size(), kMaxSharedPrefix});
    return static_cast<std::size_t>(std::mismatch(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(limit), b.begin()).first -
                                    a.begin());
}

WindowPreset PresetOf(std::span<const std::uint8_t> history, std::size_t prefix) {
    return ComputeWindowPreset(static_cast<std::int32_t>(history.size()), static_cast<std::int32_t>(prefix));
}

// A candidate with the earlier file's first bytes, kept until the trials are done.
struct Trial {
    Candidate candidate;
    std::shared_ptr<const std::vector<std::uint8_t>> history;

    std::span<const std::uint8_t> Preset() const {
        return history ? PresetBytes(*history, candidate.sharedPrefix) : std::span<const std::uint8_t>();
    }
};

// The estimated compressed size of contents[prefix, end) with the trial's window preset,
// in bytes; the trial stops once it has come to `enough`, which it can only pass.
double TrialSize(const Trial& trial, std::span<const std::uint8_t> contents, std::size_t end, int effort,
                 double enough) {
    const Candidate& c = trial.candidate;
    const auto part = contents.subspan(c.sharedPrefix, end - c.sharedPrefix);
    // Each reference costs the two bytes of its prefix length.
    SizeEstimate estimate(c.referenceBack != 0 ? 2 : 0, enough);
    FindItemsInto(trial.Preset(), part, effort, estimate);
    return estimate.Bytes();
}

// The trial giving the smallest size, the first of equal ones; `first` is tried first.
ReferenceWithPreset Decide(const std::vector<Trial>& trials, std::size_t first, std::span<const std::uint8_t> contents,
                           std::size_t end, int effort) {
    std::size_t best = first;
    double bestSize = TrialSize(trials[first], contents, end, effort, std::numeric_limits<double>::infinity());
    for (std::size_t i = 0; i < trials.size(); ++i) {
        if (i == first) continue;
        // An earlier candidate wins a tie, so it may stop only once it is larger.
        const double enough = i < best ? std::nextafter(bestSize, std::numeric_limits<double>::infinity()) : bestSize;
        const double size = TrialSize(trials[i], contents, end, effort, enough);
        if (size < bestSize || (size == bestSize && i < best)) best = i, bestSize = size;
    }
    const Candidate& c = trials[best].candidate;
    const std::span<const std::uint8_t> preset = trials[best].Preset();
    return {{c.referenceBack, static_cast<std::uint32_t>(c.sharedPrefix)}, {preset.begin(), preset.end()}};
}

void AddCandidate(std::vector<Candidate>& candidates, const Candidate& c) {
    const bool known = std::any_of(candidates.begin(), candidates.end(),
                                   [&](const Candidate& k) { return k.referenceBack == c.referenceBack; });
    if (!known) candidates.push_back(c);
}

}  // namespace

void ReferenceChooser::Remember(std::span<const std::uint8_t> contents, const std::string& extension) {
    extensions_.push_front(extension);
    if (extensions_.size() > kHistoryFiles) extensions_.pop_back();
    index_.Add(contents.first(std::min(contents.size(), kHistoryBytes)));
}

EntryReference ReferenceChooser::Choose(const EntryWriter& written, std::span<const std::uint8_t> contents,
                                        const std::string& extension) const {
    return Defer(written, contents, extension)(contents).reference;
}

DeferredReference ReferenceChooser::Defer(const EntryWriter& written, std::span<const std::uint8_t> contents,
                                          const std::string& extension) const {
    const auto none = [](std::span<const std::uint8_t>) { return ReferenceWithPreset{}; };
    if (contents.empty() || extensions_.empty()) return none;
    std::vector<Candidate> all;
    std::vector<Candidate> candidates;
    std::vector<FingerprintIndex::Region> regions;
    for (std::uint32_t back = 1; back <= extensions_.size(); ++back) {
        const auto history = written.History(back);
        const Candidate c{back, SharedPrefix(history, contents)};
        all.push_back(c);
        if (extensions_[back - 1] == extension && candidates.size() < kExtensionCandidates && !history.empty())
            candidates.push_back(c);
        const WindowPreset preset = PresetOf(history, c.sharedPrefix);
        regions.push_back({static_cast<std::uint32_t>(preset.PresetStart),
                           static_cast<std::uint32_t>(preset.PresetStart + preset.PresetLength),
                           static_cast<std::uint32_t>(c.sharedPrefix),
                           static_cast<std::uint32_t>(c.sharedPrefix + kTrialLength)});
    }
    const std::vector<std::uint32_t> shared = index_.SharedRuns(contents, regions);
    std::vector<std::uint32_t> byShared(all.size());
    for (std::uint32_t i = 0; i < byShared.size(); ++i) byShared[i] = i;
    std::stable_sort(byShared.begin(), byShared.end(), [&](std::uint32_t a, std::uint32_t b) { return shared[a] > shared[b]; });
    for (std::size_t i = 0; i < byShared.size() && i < kContentCandidates && shared[byShared[i]] > 0; ++i)
        AddCandidate(candidates, all[byShared[i]]);
    std::stable_sort(all.begin(), all.end(),
                     [](const Candidate& a, const Candidate& b) { return a.sharedPrefix > b.sharedPrefix; });
    for (std::size_t i = 0; i < all.size() && i < kPrefixCandidates && all[i].sharedPrefix > 0; ++i)
        AddCandidate(candidates, all[i]);
    if (candidates.empty()) return none;
    std::size_t longestPrefix = 0;
    for (const Candidate& c : candidates) longestPrefix = std::max(longestPrefix, c.sharedPrefix);
    const std::size_t end = std::min(contents.size(), longestPrefix + kTrialLength);
    // No reference first, then the candidates, each holding on to its file's first bytes:
    // they may be gone from `written` by the time the trials run.
    std::vector<Trial> trials{{Candidate{0, 0}, nullptr}};
    for (const Candidate& c : candidates) trials.push_back({c, written.SharedHistory(c.referenceBack)});
    // The file holding most of this one's runs usually wins: tried first, it lets the others
    // stop early. Whatever the order, the winner is the same.
    std::size_t first = 1;
    for (std::size_t i = 1; i < trials.size(); ++i)
        if (shared[byShared[0]] > 0 && trials[i].candidate.referenceBack == byShared[0] + 1) first = i;
    const int trialEffort = std::min(effort_, kTrialEffort);
    return [trials = std::move(trials), first, end, trialEffort](std::span<const std::uint8_t> whole) {
        return Decide(trials, first, whole, end, trialEffort);
    };
}

}  // namespace quorvel::packer
