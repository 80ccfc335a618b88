// Whole files read into memory: a stub file, a comment file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "tool/common/tool_error.hpp"

namespace quorvel::tool {

// A file that cannot be read, or not as it was found; `reason` is the message less the file.
struct FileReadError : ToolError {
    FileReadError(const std::filesystem::path& file, const std::string& why)
        : ToolError(file.string() + ": " + why), reason(why) {}
    std::string reason;
};

// The whole file; refused before anything is read when it has 2^31 bytes or more, which no
// archive entry can hold. Throws ToolError naming the file.
std::vector<std::uint8_t> ReadContents(const std::filesystem::path& file);

// Reads from `fd` until `out` is full or the file ends; returns the bytes read. Throws
// FileReadError.
std::size_t ReadUpTo(int fd, std::span<std::uint8_t> out, const std::filesystem::path& file);

// A text file as it is. Throws ToolError naming the file.
std::string ReadTextFile(const std::string& file);

}  // namespace quorvel::tool
