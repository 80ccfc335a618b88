#include "reader/block_reader.hpp"

#include <cstring>

#include "format/archive_format.hpp"
#include "format/crc16.hpp"
#include "reader/archive_error.hpp"

namespace quorvel::reader {

BlockReader::BlockReader(ByteSource& source, std::uint64_t payloadOffset, std::string key,
                         std::uint32_t blocksPerRead, ReadObserver observer)
    : source_(source),
      payloadOffset_(payloadOffset),
      payloadSize_(source.Size() > payloadOffset ? source.Size() - payloadOffset : 0),
      key_(std::move(key)),
      blocksPerRead_(blocksPerRead == 0 ? 1 : blocksPerRead),
      observer_(std::move(observer)) {}

std::uint64_t BlockReader::BlockOf(std::uint64_t position) const { return position / kBlockDataSize; }

std::uint64_t BlockReader::FileOffsetOf(std::uint64_t position) const {
    return payloadOffset_ + BlockOf(position) * kBlockSize + position % kBlockDataSize;
}

bool BlockReader::AtEnd() {
    if (at_ < data_.size()) return false;
    if (rawRead_ < payloadSize_) {
        Refill();
        return false;
    }
    // A last block of two bytes or fewer holds no data: the stream never reaches its end.
    const std::uint64_t lastBlock = payloadSize_ % kBlockSize;
    return payloadSize_ != 0 && (lastBlock == 0 || lastBlock > 2);
}

void BlockReader::CheckBlock(std::uint8_t* block, std::size_t count, std::uint64_t number) {
    const std::uint64_t offset = payloadOffset_ + number * kBlockSize;
    const std::size_t dataCount = count >= 2 ? count - 2 : 0;
    if (!key_.empty()) {
        for (std::size_t i = 0; i < dataCount; ++i) {
            block[i] ^= static_cast<std::uint8_t>(key_[keyIndex_]);
            keyIndex_ = keyIndex_ + 1 == key_.size() ? 0 : keyIndex_ + 1;
        }
    }
    if (!BlockCheckMatches(block, count))
        throw ArchiveError(ArchiveProblem::BrokenBlock,
                           key_.empty() ? "the block's check does not match its bytes"
                                        : "the block's check does not match its bytes (or the password is wrong)",
                           ProblemPlace::InBlock(number, offset));
}

void BlockReader::Refill() {
    if (damage_) throw *damage_;
    dataStart_ += data_.size();
    data_.clear();
    at_ = 0;
    const std::uint64_t firstBlock = rawRead_ / kBlockSize;
    const std::uint64_t left = payloadSize_ - rawRead_;
    if (left == 0)
        throw ArchiveError(ArchiveProblem::CutShort, "the archive ends inside an entry",
                           ProblemPlace::InBlock(firstBlock, payloadOffset_ + rawRead_));
    raw_.resize(std::min<std::uint64_t>(left, std::uint64_t{blocksPerRead_} * kBlockSize));
    const std::size_t got = source_.ReadAt(payloadOffset_ + rawRead_, raw_);
    if (got != raw_.size())
        throw ArchiveError(ArchiveProblem::Unreadable, "the file changed while it was read",
                           ProblemPlace::At(payloadOffset_ + rawRead_ + got));
    rawRead_ += got;
    if (observer_) observer_(FileBytesRead());
    data_.resize(got);
    std::size_t dataCount = 0;
    for (std::size_t start = 0, number = firstBlock; start < got; start += kBlockSize, ++number) {
        const std::size_t count = std::min<std::size_t>(kBlockSize, got - start);
        try {
            CheckBlock(raw_.data() + start, count, number);
        } catch (const ArchiveError& error) {
            if (dataCount == 0) throw;
            damage_ = error;
            break;
        }
        const std::size_t blockData = count >= 2 ? count - 2 : 0;
        std::memcpy(data_.data() + dataCount, raw_.data() + start, blockData);
        dataCount += blockData;
    }
    data_.resize(dataCount);
    if (data_.empty())
        throw ArchiveError(ArchiveProblem::CutShort, "the archive ends inside an entry",
                           ProblemPlace::InBlock(firstBlock, payloadOffset_ + rawRead_));
}

}  // namespace quorvel::reader
