#include "tool/extract/name_patterns.hpp"

#include <fnmatch.h>

namespace quorvel::tool {

NamePatterns::NamePatterns(std::vector<std::string> patterns)
    : patterns_(std::move(patterns)), used_(patterns_.size(), false) {}

bool NamePatterns::MatchesWhole(const std::string& name) {
    bool matched = false;
    for (std::size_t i = 0; i < patterns_.size(); ++i) {
        if (fnmatch(patterns_[i].c_str(), name.c_str(), 0) == 0) {
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
