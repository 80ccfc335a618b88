// The Expander that goes in front of a new archive: one of the two built in, or a file.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quorvel::tool {

inline constexpr char kWindowsStub[] = "windows";
inline constexpr char kNativeStub[] = "native";

// The --stub value given, or else the one OUTPUT's name calls for: "windows" for a name
// ending in ".exe" (in any case), "native" for any other.
std::string StubChoiceFor(const std::optional<std::string>& given, const std::string& output);

// Whether a --stub value names a built-in Expander or a file that exists.
bool IsKnownStubChoice(const std::string& given);

// One line for the terminal saying which Expander OUTPUT's name chose, and how to choose
// the other.
std::string StubChoiceNote(const std::string& choice, const std::string& output);

// "windows", "native", or the name of a 20480-byte file that is a Windows or a Linux
// x86_64 program. Throws ToolError.
std::vector<std::uint8_t> ChooseStub(const std::string& choice);

// Whether the archive goes behind the Windows Expander: the built-in one, or a stub file
// that is a Windows program.
bool IsWindowsStubChoice(const std::string& choice, std::span<const std::uint8_t> stub);

}  // namespace quorvel::tool
