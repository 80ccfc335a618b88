// What opening the archive leaves for the block stream, the password and the driver.
#pragma once

#include <cstdint>

#include "expander/console/text.hpp"

namespace quorvel::expander {

extern Text RunCommand;
extern Text Password;
extern bool Scrambled;
extern std::uint16_t PasswordCheck;
// 1-based position in the Password of the character for the next data byte.
extern std::int32_t KeyIndex;

// Prints the banner, opens the own executable, checks its length, reads the header and,
// for a scrambled archive, asks for the password. Returns only on success.
void OpenArchive();
void AskPassword();

}  // namespace quorvel::expander
