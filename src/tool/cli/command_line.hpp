// The tool's command line, read with CLI11: the command and its options, or the help or
// version asked for. `--opt=value`, `-oVALUE` and `--` before arguments that begin with a
// dash work for every command.
#pragma once

#include <string>
#include <vector>

#include "tool/cli/command_options.hpp"
#include "tool/common/tool_error.hpp"

namespace quorvel::tool {

// A command line that cannot be read: what is wrong, and the command whose help explains
// it ("" for the tool's own).
struct CommandLineError : UsageError {
    CommandLineError(const std::string& commandName, const std::string& message)
        : UsageError(message), command(commandName) {}
    std::string command;
};

// The arguments after the program's name. Throws CommandLineError.
Command ParseCommandLine(const std::vector<std::string>& arguments);

}  // namespace quorvel::tool
