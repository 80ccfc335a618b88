// The block stream behind the header: blocks of 4096 data bytes, each followed by its
// Crc16 (high byte first) and, in a scrambled archive, XOR-ed with the password. Blocks are
// read many at a time, descrambled and checked before any of their bytes is handed out, and
// their data bytes are kept side by side, so that a reader can borrow long runs of them. A
// damaged block is reported when the reading reaches it, after the good blocks before it,
// so that the error falls on the entry the block belongs to.
//
// While one run of blocks is taken, the next is read and checked on another thread, so that
// neither the reading nor the checks hold up the decoding; a failure there is reported when
// the reading reaches that run.
#pragma once

#include <cstdint>
#include <functional>
#include <future>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "reader/archive_error.hpp"
#include "reader/byte_source.hpp"

namespace quorvel::reader {

class BlockReader {
public:
    // Told the file bytes read so far after each read from the source.
    using ReadObserver = std::function<void(std::uint64_t fileBytesRead)>;

    // key: the password in the archive's code page, empty for an archive not scrambled.
    BlockReader(ByteSource& source, std::uint64_t payloadOffset, std::string key,
                std::uint32_t blocksPerRead = 256, ReadObserver observer = {});
    // Waits for a read ahead still running.
    ~BlockReader();
    BlockReader(const BlockReader&) = delete;
    BlockReader& operator=(const BlockReader&) = delete;

    // The next data byte. Throws ArchiveError: CutShort past the last one, BrokenBlock.
    std::uint8_t NextByte() {
        if (at_ == data_.size()) Refill();
        return data_[at_++];
    }
    // The data bytes checked and not yet taken; may be empty.
    std::span<const std::uint8_t> Lendable() const { return {data_.data() + at_, data_.size() - at_}; }
    void Consume(std::size_t n) { at_ += n; }
    // Returns the last n bytes taken; they are still in the current run of blocks.
    void GiveBack(std::size_t n) { at_ -= n; }

    // True when every data byte has been taken and the stream ended in a block that held
    // data: the point where the Expander's extraction ends.
    bool AtEnd();
    // Data bytes taken so far.
    std::uint64_t Position() const { return dataStart_ + at_; }
    // Where a data position lies: its block and its offset in the file.
    std::uint64_t BlockOf(std::uint64_t position) const;
    std::uint64_t FileOffsetOf(std::uint64_t position) const;
    // File bytes read so far, counted from the start of the file.
    std::uint64_t FileBytesRead() const { return payloadOffset_ + rawRead_; }

private:
    // One read of blocks, checked: their data bytes side by side.
    struct Run {
        std::vector<std::uint8_t> raw;
        std::vector<std::uint8_t> data;
        std::size_t rawSize = 0;              // payload bytes read
        std::optional<ArchiveError> damage;  // a damaged block after the good ones in data
    };

    void Refill();
    // Reads and checks the run of blocks at payload offset `start` into the buffers of
    // `run`. Reads only what does not change while reading, so it can run on any thread.
    Run ReadRun(std::uint64_t start, Run run) const;
    void CheckBlock(std::uint8_t* block, std::size_t count, std::uint64_t number) const;

    ByteSource& source_;
    std::uint64_t payloadOffset_;
    std::uint64_t payloadSize_;
    std::string key_;
    std::uint32_t blocksPerRead_;
    ReadObserver observer_;
    std::optional<ArchiveError> damage_;  // found in a block not reached yet
    std::vector<std::uint8_t> data_;  // the data bytes of the blocks read last
    std::size_t at_ = 0;
    std::uint64_t dataStart_ = 0;     // data position of data_[0]
    std::uint64_t rawRead_ = 0;       // payload bytes taken so far
    Run spare_;                       // buffers for the next run
    std::future<Run> ahead_;          // last: waited for before the rest goes
};

}  // namespace quorvel::reader
