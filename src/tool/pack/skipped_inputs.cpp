#include "tool/pack/skipped_inputs.hpp"

#include <vector>

namespace quorvel::tool {
namespace {

struct ReasonText {
    const char* listed;    // after the path, when each is listed
    const char* one;       // in the summary, for one
    const char* several;   // in the summary, after the count
};

constexpr ReasonText kTexts[] = {
    {"skipped, a link to a folder (-L follows it)", "1 link to a folder", "links to folders"},
    {"skipped, a link that leads nowhere", "1 link that leads nowhere", "links that lead nowhere"},
    {"skipped, not a regular file", "1 special file", "special files"},
};

std::string JoinAsList(const std::vector<std::string>& parts) {
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) text += i + 1 == parts.size() ? " and " : ", ";
        text += parts[i];
    }
    return text;
}

}  // namespace

void SkippedInputs::Skip(SkipReason reason, const std::filesystem::path& source) {
    const auto index = static_cast<std::size_t>(reason);
    if (listEach_) return warn_(source.string() + ": " + kTexts[index].listed);
    ++counts_[index];
}

void SkippedInputs::Summarize() const {
    std::vector<std::string> parts;
    for (std::size_t i = 0; i < counts_.size(); ++i) {
        if (counts_[i] == 1) parts.push_back(kTexts[i].one);
        if (counts_[i] > 1) parts.push_back(std::to_string(counts_[i]) + " " + kTexts[i].several);
    }
    if (!parts.empty()) warn_("skipped " + JoinAsList(parts) + "; -v lists them");
}

}  // namespace quorvel::tool
