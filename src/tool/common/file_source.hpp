// An archive file as the reader's byte source: read where it is asked, with pread, never
// copied whole.
#pragma once

#include <string>

#include "reader/byte_source.hpp"

namespace quorvel::tool {

class FileSource final : public reader::ByteSource {
public:
    // Throws UnreadableError naming the file when it cannot be opened or is no regular file.
    explicit FileSource(std::string path);
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    std::uint64_t Size() const override { return size_; }
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override;

private:
    std::string path_;
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

}  // namespace quorvel::tool
