#include "tool/reference_choice.hpp"

#include <algorithm>

#include "decoder/window_preset.hpp"
#include "packer/compress.hpp"

namespace quorvel::tool {
namespace {

constexpr std::size_t kMaxSharedPrefix = 65535;
// A preset matters only until the window has moved past it.
constexpr std::size_t kTrialLength = 8192;
constexpr std::size_t kPrefixCandidates = 3;
constexpr std::size_t kExtensionCandidates = 2;
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

// The compressed size of contents[prefix, end) with the candidate's window preset.
std::size_t TrialSize(const EntryWriter& written, const Candidate& c, std::span<const std::uint8_t> contents,
                      std::size_t end, int effort) {
    std::span<const std::uint8_t> preset;
    if (c.referenceBack != 0) {
        const auto history = written.History(c.referenceBack);
        const WindowPreset window =
            ComputeWindowPreset(static_cast<std::int32_t>(history.size()), static_cast<std::int32_t>(c.sharedPrefix));
        preset = history.subspan(static_cast<std::size_t>(window.PresetStart),
                                 static_cast<std::size_t>(window.PresetLength));
    }
    const auto part = contents.subspan(c.sharedPrefix, end - c.sharedPrefix);
    // Each reference costs the two bytes of its prefix length.
    return CompressFileData(preset, part, effort).size() + (c.referenceBack != 0 ? 2 : 0);
}

}  // namespace

EntryReference ChooseReference(const EntryWriter& written, const std::vector<EarlierFile>& earlier,
                               std::span<const std::uint8_t> contents, const std::string& extension, int effort) {
    if (contents.empty() || earlier.empty()) return {};
    std::vector<Candidate> byPrefix;
    std::vector<Candidate> candidates;
    for (std::uint32_t back = 1; back <= earlier.size(); ++back) {
        const Candidate c{back, SharedPrefix(written.History(back), contents)};
        byPrefix.push_back(c);
        const bool sameKind = earlier[back - 1].extension == extension;
        if (sameKind && candidates.size() < kExtensionCandidates && !written.History(back).empty()) candidates.push_back(c);
    }
    std::stable_sort(byPrefix.begin(), byPrefix.end(),
                     [](const Candidate& a, const Candidate& b) { return a.sharedPrefix > b.sharedPrefix; });
    for (std::size_t i = 0; i < byPrefix.size() && i < kPrefixCandidates && byPrefix[i].sharedPrefix > 0; ++i) {
        const bool known = std::any_of(candidates.begin(), candidates.end(),
                                       [&](const Candidate& c) { return c.referenceBack == byPrefix[i].referenceBack; });
        if (!known) candidates.push_back(byPrefix[i]);
    }
    if (candidates.empty()) return {};
    std::size_t longestPrefix = 0;
    for (const Candidate& c : candidates) longestPrefix = std::max(longestPrefix, c.sharedPrefix);
    const std::size_t end = std::min(contents.size(), longestPrefix + kTrialLength);
    const int trialEffort = std::min(effort, kTrialEffort);
    Candidate best{0, 0};
    std::size_t bestSize = TrialSize(written, best, contents, end, trialEffort);
    for (const Candidate& c : candidates) {
        const std::size_t size = TrialSize(written, c, contents, end, trialEffort);
        if (size < bestSize) best = c, bestSize = size;
    }
    return {best.referenceBack, static_cast<std::uint32_t>(best.sharedPrefix)};
}

}  // namespace quorvel::tool
