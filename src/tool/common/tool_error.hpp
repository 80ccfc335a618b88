// Errors of the quorvel tool: a message for the user, and the exit code it ends with.
#pragma once

#include <stdexcept>
#include <string>

namespace quorvel::tool {

// Something the user asked for cannot be done; the message names what and why.
struct ToolError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The command line is wrong; the message says how, and usage help follows.
struct UsageError : ToolError {
    using ToolError::ToolError;
};

// A file the user named cannot be read at all; ends the tool as a usage mistake does.
struct UnreadableError : UsageError {
    using UsageError::UsageError;
};

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

}  // namespace quorvel::tool
