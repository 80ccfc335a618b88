#include "reader/block_reader.hpp"

#include <cstring>

#include "format/archive_format.hpp"
#include "format/scrambling.hpp"
#include "reader/archive_error.hpp"
#include "reader/reader_namespace.hpp"

namespace quorvel::reader {

BlockReader::BlockReader(ByteSource& source, std::uint64_t payloadOffset, std::string key,
                         std::uint32_t blocksPerRead, ReadObserver observer)
    : source_(source),
      payloadOffset_(payloadOffset),
      payloadSize_(source.Size() > payloadOffset ? source.Size() - payloadOffset : 0),
      key_(std::move(key)),
      blocksPerRead_(blocksPerRead == 0 ? 1 : blocksPerRead),
      observer_(std::move(observer)) {}

BlockReader::~BlockReader() {
    if (ahead_.valid()) ahead_.wait();
}

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

void BlockReader::CheckBlock(std::uint8_t* block, std::size_t count, std::uint64_t number) const {
    const std::uint64_t offset = payloadOffset_ + number * kBlockSize;
    // Every block before this one held kBlockDataSize data bytes.
    std::size_t keyIndex = key_.empty() ? 0 : static_cast<std::size_t>(number * kBlockDataSize % key_.size());
    if (!OpenBlock(kCrc16Tables, block, count, key_.data(), key_.size(), keyIndex))
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
    if (rawRead_ == payloadSize_)
        throw ArchiveError(ArchiveProblem::CutShort, "the archive ends inside an entry",
                           ProblemPlace::InBlock(rawRead_ / kBlockSize, payloadOffset_ + rawRead_));
    Run run = ahead_.valid() ? ahead_.get() : ReadRun(rawRead_, std::move(spare_));
    rawRead_ += run.rawSize;
    if (observer_) observer_(FileBytesRead());
    std::swap(data_, run.data);
    damage_ = std::move(run.damage);
    spare_ = std::move(run);
    if (damage_ || rawRead_ == payloadSize_) return;
    ahead_ = std::async(std::launch::async, [this, start = rawRead_, buffers = std::move(spare_)]() mutable {
        return ReadRun(start, std::move(buffers));
    });
}

BlockReader::Run BlockReader::ReadRun(std::uint64_t start, Run run) const {
    const std::uint64_t firstBlock = start / kBlockSize;
    run.raw.resize(std::min<std::uint64_t>(payloadSize_ - start, std::uint64_t{blocksPerRead_} * kBlockSize));
    const std::size_t got = source_.ReadAt(payloadOffset_ + start, run.raw);
    if (got != run.raw.size())
        throw ArchiveError(ArchiveProblem::Unreadable, "the file changed while it was read",
                           ProblemPlace::At(payloadOffset_ + start + got));
    run.rawSize = got;
    run.damage.reset();
    run.data.resize(got);
    std::size_t dataCount = 0;
    for (std::size_t at = 0, number = firstBlock; at < got; at += kBlockSize, ++number) {
        const std::size_t count = std::min<std::size_t>(kBlockSize, got - at);
        try {
            CheckBlock(run.raw.data() + at, count, number);
        } catch (const ArchiveError& error) {
            if (dataCount == 0) throw;
            run.damage = error;
            break;
        }
        const std::size_t blockData = count >= 2 ? count - 2 : 0;
        std::memcpy(run.data.data() + dataCount, run.raw.data() + at, blockData);
        dataCount += blockData;
    }
    run.data.resize(dataCount);
    if (run.data.empty())
        throw ArchiveError(ArchiveProblem::CutShort, "the archive ends inside an entry",
                           ProblemPlace::InBlock(firstBlock, payloadOffset_ + start + got));
    return run;
}

}  // namespace quorvel::reader
