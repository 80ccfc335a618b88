#pragma once

#include <string>

namespace quorvel::tool {

// Asks for a password on the terminal twice, without echo; throws when the two differ or
// there is no terminal.
std::string AskNewPassword();

// The first line of a file, without its line end.
std::string ReadPasswordFile(const std::string& file);

}  // namespace quorvel::tool
