// The entries extract is asked for: shell wildcards (* ? [...]) matched against whole names
// as list shows them ('/' between parts, '*' crossing them); a folder that matches takes
// everything inside it along, whether or not the pattern ends in '/'.
#pragma once

#include <string>
#include <vector>

namespace quorvel::tool {

class NamePatterns {
public:
    explicit NamePatterns(std::vector<std::string> patterns);

    // A name without a final '/'. Every name matches when there are no patterns.
    bool Matches(const std::string& name);
    // The patterns that matched nothing so far.
    std::vector<std::string> Unused() const;

private:
    bool MatchesWhole(const std::string& name);

    std::vector<std::string> patterns_;  // as given, for messages
    std::vector<std::string> matched_;   // as matched
    std::vector<bool> used_;
};

}  // namespace quorvel::tool
