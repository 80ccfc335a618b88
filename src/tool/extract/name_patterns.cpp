#include "tool/extract/name_patterns.hpp"

#include <fnmatch.h>

namespace quorvel::tool {

namespace {

// A folder's name as tab completion writes it, "include/linux/", names the folder: names are
// matched without a final '/'.
std::string WithoutFinalSlashes(std::string pattern) {
    while (pattern.size() > 1 && pattern.ends_with('/')) pattern.pop_back();
    return pattern;
}

}  // namespace

NamePatterns::NamePatterns(std::vector<std::string> patterns)
    : patterns_(std::move(patterns)), used_(patterns_.size(), false) {
    for (const std::string& pattern : patterns_) matched_.push_back(WithoutFinalSlashes(pattern));
}

bool NamePatterns::MatchesWhole(const std::string& name) {
    bool matched = false;
    for (std::size_t i = 0; i < matched_.size(); ++i) {
        if (fnmatch(matched_[i].c_str(), name.c_str(), 0) == 0) {
            used_[i] = true;
            matched = true;
        }
    }
    return matched;
}

bool NamePatterns::Matches(const std::string& name) {
    if (patterns_.empty()) return true;
    if (MatchesWhole(name)) return true;
    for (std::size_t slash = name.find('/'); slash != std::string::npos; slash = name.find('/', slash + 1))
        if (MatchesWhole(name.substr(0, slash))) return true;
    return false;
}

std::vector<std::string> NamePatterns::Unused() const {
    std::vector<std::string> unused;
    for (std::size_t i = 0; i < patterns_.size(); ++i)
        if (!used_[i]) unused.push_back(patterns_[i]);
    return unused;
}

}  // namespace quorvel::tool
