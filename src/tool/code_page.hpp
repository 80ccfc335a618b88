// Text for the archive: UTF-8 from this system converted to the ANSI code page the
// Expander's users have.
#pragma once

#include <string>
#include <string_view>

namespace quorvel::tool {

// The code pages an archive can be made for: 932, 936, 949, 950, 1252.
bool IsSupportedCodePage(int codePage);

// Converts UTF-8 text; throws ToolError naming `what` when a character has no form in the
// code page.
std::string FromUtf8(std::string_view text, int codePage, const std::string& what);

// Steps over one character of code-page text: two bytes for a lead byte with a trail byte
// behind it, else one.
std::size_t CharacterLength(std::string_view text, std::size_t at, int codePage);

}  // namespace quorvel::tool
