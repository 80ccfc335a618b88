// Text between this system's UTF-8 and the ANSI code page of an archive's users: names,
// comment, run command and password go in converted, and come out converted back.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel::tool {

// The code pages an archive can be made for: 932, 936, 949, 950, 1252.
bool IsSupportedCodePage(int codePage);

// Converts UTF-8 text; throws ToolError naming `what` when a character has no form in the
// code page.
std::string FromUtf8(std::string_view text, int codePage, const std::string& what);

// Converts code-page text to UTF-8, many texts through one converter.
class Utf8Converter {
public:
    // Throws ToolError when the system has no converter for the code page.
    explicit Utf8Converter(int codePage);
    ~Utf8Converter();
    Utf8Converter(const Utf8Converter&) = delete;
    Utf8Converter& operator=(const Utf8Converter&) = delete;

    // The text in UTF-8, or nothing when a byte sequence has no meaning in the code page.
    std::optional<std::string> Exact(std::string_view text);
    // The text in UTF-8 with U+FFFD for each byte that has no meaning in the code page.
    std::string Shown(std::string_view text);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Steps over one character of code-page text: two bytes for a lead byte with a trail byte
// behind it, else one.
std::size_t CharacterLength(std::string_view text, std::size_t at, int codePage);

}  // namespace quorvel::tool
