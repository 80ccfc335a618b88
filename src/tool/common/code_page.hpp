// Text between this system's UTF-8 and the ANSI code page of an archive's users: names,
// comment, run command and password go in converted, and come out converted back.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel::tool {

// The code pages an archive can be made for: 932, 936, 949, 950, 1252.
bool IsSupportedCodePage(int codePage);

// The code pages in the order they are offered.
inline constexpr int kCodePages[] = {932, 936, 949, 950, 1252};

// The length of the valid UTF-8 character at `at`: 1 to 4 bytes, or 0 when the bytes there
// are no valid UTF-8 (a stray or missing continuation byte, an overlong form, a surrogate,
// beyond U+10FFFF).
std::size_t Utf8CharacterLength(std::string_view text, std::size_t at);

// UTF-8 text in the code page, or nothing when it is no valid UTF-8 or holds a character
// that the code page does not.
std::optional<std::string> TryFromUtf8(std::string_view text, int codePage);

// Why TryFromUtf8 gives nothing, for people: "not valid UTF-8 (byte 0xFF)", or the first
// character the code page lacks and the code pages that hold it, with the --codepage that
// takes the whole text ("Д is not in code page 1252 but in code pages 932, 936 and 949:
// --codepage 932"; "ᚠ is in none of the code pages 932, 936, 949, 950, 1252").
std::string Utf8Problem(std::string_view text, int codePage);

// Converts UTF-8 text; throws ToolError naming `what` and Utf8Problem when it cannot.
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
