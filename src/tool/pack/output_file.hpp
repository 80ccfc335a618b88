// The archive being written: a temporary file beside the output, renamed to the output
// only when everything has been written, and removed otherwise, also when SIGINT, SIGTERM
// or SIGHUP ends the tool. One at a time, made before any other thread starts.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace quorvel::tool {

class OutputFile {
public:
    // The file is made with `mode` less the umask, as the system applies it.
    OutputFile(std::filesystem::path target, mode_t mode);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void Write(std::span<const std::uint8_t> bytes);
    void WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    std::uint64_t Size() const { return size_; }
    // Gives the file the output's name.
    void Commit();

private:
    [[noreturn]] void Fail(const std::string& what) const;

    std::filesystem::path target_;
    std::string temporary_;
    int fd_ = -1;
    std::uint64_t size_ = 0;
    bool committed_ = false;
};

}  // namespace quorvel::tool
