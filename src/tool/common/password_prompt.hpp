#pragma once

#include <string>

namespace quorvel::tool {

// Asks for a password on the terminal twice, without echo; throws when the two differ or
// there is no terminal.
std::string AskNewPassword();

// Whether standard input is a terminal, where a password can be asked for.
bool CanAskPassword();

// Asks once on the terminal, without echo; throws when there is no terminal.
std::string AskPassword();

// The first line of a file, without its line end.
std::string ReadPasswordFile(const std::string& file);

}  // namespace quorvel::tool
