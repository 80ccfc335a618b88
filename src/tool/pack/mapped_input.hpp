// A large input file mapped into memory rather than read into it, so that packing it holds
// only the part being compressed: the pages a pass has gone past are let go of, and read
// again from the file (or the system's cache) should a later pass need them.
//
// Its first bytes are copied when it is mapped, as they are what later files' references
// and the reference choice see, and must not change under the packer. A file cut short
// while mapped, or a page of it the disk cannot give, would end the process at the first
// read; here such pages read as zeros instead and the mapping is marked, which CheckRead
// reports.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

#include "tool/common/unique_fd.hpp"

namespace quorvel::tool {

class MappedInput {
public:
    // Bytes copied at once: more than the start that references and their choice read.
    static constexpr std::size_t kCopiedStart = std::size_t{64} << 10;

    // Maps the first `size` bytes of the open file `fd`, which must hold them; nothing where
    // the system cannot map it (some file systems cannot), which is then to be read.
    static std::unique_ptr<MappedInput> Map(int fd, std::size_t size, const std::filesystem::path& source);
    ~MappedInput();
    MappedInput(const MappedInput&) = delete;
    MappedInput& operator=(const MappedInput&) = delete;

    std::span<const std::uint8_t> Bytes() const { return {start_, size_}; }
    // Bytes [from, to) will not be read again soon: their pages, and the one `from` lies in,
    // are let go of, but for the copied start's. Any thread, any number at once.
    void LetGo(std::size_t from, std::size_t to) const;
    // Throws FileReadError when part of the file was gone or could not be read.
    void CheckRead() const;

private:
    MappedInput(void* mapped, std::size_t size, std::size_t slot, UniqueFd fd, const std::filesystem::path& source);

    const std::uint8_t* start_ = nullptr;
    std::size_t size_ = 0;
    std::size_t mappedSize_ = 0;
    std::size_t slot_ = 0;
    std::size_t copiedEnd_ = 0;  // the copied start's pages end here; they are kept
    UniqueFd fd_;  // kept open, to tell a file cut short from one that could not be read
    std::filesystem::path source_;
};

}  // namespace quorvel::tool
