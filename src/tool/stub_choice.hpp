// The Expander that goes in front of a new archive: one of the two built in, or a file.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quorvel::tool {

// "windows", "native", or the name of a 20480-byte file. Throws ToolError.
std::vector<std::uint8_t> ChooseStub(const std::string& choice);

// Whether the archive goes behind the Windows Expander: the built-in one, or a stub file
// that is a Windows program.
bool IsWindowsStub(const std::string& choice, std::span<const std::uint8_t> stub);

}  // namespace quorvel::tool
