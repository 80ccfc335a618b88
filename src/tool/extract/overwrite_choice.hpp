// What extract does with a file that already stands under an entry's name: the choice given
// on the command line, or, by default, the user's answer on a terminal and "never" elsewhere.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "tool/cli/command_options.hpp"
#include "tool/common/reporter.hpp"

namespace quorvel::tool {

enum class ExistingFile { Replace, Keep, Rename };

class OverwriteChoice {
public:
    // `beforeQuestion` runs before a question is shown (to let what went before be told
    // first); the reporter asks it.
    OverwriteChoice(std::optional<Overwrite> given, Reporter& reporter, std::function<void()> beforeQuestion);

    // Asks when it is to ask: yes, no, all (yes from now on), none (no from now on), rename.
    ExistingFile Decide(const std::string& shownPath);
    // Every existing file is replaced from now on, without a question.
    bool ReplacesAll() const { return mode_ == Overwrite::Always; }

private:
    ExistingFile Ask(const std::string& shownPath);

    Overwrite mode_;
    Reporter& reporter_;
    std::function<void()> beforeQuestion_;
};

// "name (1).ext", "name (2).ext", ...: the first that exists() says is free.
std::string FreeName(const std::string& name, const std::function<bool(const std::string&)>& exists);

}  // namespace quorvel::tool
