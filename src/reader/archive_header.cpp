#include "reader/archive_header.hpp"

#include <vector>

#include "format/archive_format.hpp"
#include "format/crc16.hpp"
#include "format/header_fields.hpp"
#include "reader/archive_error.hpp"
#include "reader/reader_namespace.hpp"

namespace quorvel::reader {
namespace {

// The header's bytes, read in pieces from the source, one at a time to the parser.
class HeaderBytes {
public:
    HeaderBytes(ByteSource& source, std::uint64_t offset) : source_(source), offset_(offset) {}

    std::uint8_t NextByte() {
        if (at_ == buffer_.size()) {
            buffer_.resize(4096);
            buffer_.resize(source_.ReadAt(offset_, buffer_));
            at_ = 0;
            if (buffer_.empty())
                throw ArchiveError(ArchiveProblem::CutShort, "the archive header ends early", ProblemPlace::At(offset_));
        }
        ++offset_;
        return buffer_[at_++];
    }
    std::uint64_t Offset() const { return offset_; }

private:
    ByteSource& source_;
    std::uint64_t offset_;
    std::vector<std::uint8_t> buffer_;
    std::size_t at_ = 0;
};

// A header text kept up to kMaxHeaderText bytes; the rest is counted as cut.
struct KeptText {
    std::string& text;
    bool cut = false;

    void Append(char byte) {
        if (text.size() < kMaxHeaderText) {
            text.push_back(byte);
        } else {
            cut = true;
        }
    }
};

bool ReadText(HeaderBytes& bytes, std::string& text) {
    KeptText kept{text};
    ReadHeaderText(bytes, kept);
    return kept.cut;
}

// The smallest TotalSize: the Expander, then the TotalSize field, two empty texts and the
// password flag.
constexpr std::uint64_t kMinimumTotalSize = StubSize + kTotalSizeBytes + 3;

}  // namespace

ArchiveFront ReadArchiveFront(ByteSource& source) {
    ArchiveFront front;
    front.fileSize = source.Size();
    std::vector<std::uint8_t> stub(StubSize);
    stub.resize(source.ReadAt(0, stub));
    front.program = stub.size() == static_cast<std::size_t>(StubSize) && IsWholeProgram(stub);
    if (front.program) front.stub = IdentifyStub(stub);
    return front;
}

ArchiveHeader ReadArchiveHeader(ByteSource& source, const ArchiveFront& front) {
    ArchiveHeader header;
    header.fileSize = front.fileSize;
    header.stub = front.stub;
    const auto notAnArchive = [](const std::string& why) {
        return ArchiveError(ArchiveProblem::NotAnArchive, "not a self-extracting file: " + why);
    };
    if (header.fileSize < static_cast<std::uint64_t>(StubSize))
        throw notAnArchive(std::to_string(header.fileSize) + " bytes, fewer than an Expander's 20480");
    const char* const kNoProgram = "no Expander in its first 20480 bytes";
    if (header.fileSize == static_cast<std::uint64_t>(StubSize)) {
        if (!front.program) throw notAnArchive(std::string(kNoProgram) + ", and nothing behind them");
        throw ArchiveError(ArchiveProblem::BareStub, "an Expander with no archive behind it");
    }
    if (!front.program && header.fileSize < static_cast<std::uint64_t>(StubSize) + kTotalSizeBytes)
        throw notAnArchive(std::string(kNoProgram) + ", and too little behind them for an archive");

    HeaderBytes bytes(source, StubSize);
    header.totalSize = ReadTotalSize(bytes);
    if (header.fileSize != header.totalSize) {
        if (!front.program) throw notAnArchive(std::string(kNoProgram) + ", and no archive behind them");
        if (header.totalSize < kMinimumTotalSize || header.totalSize > kSizeLimit)
            throw notAnArchive("an Expander, but no archive behind it (its header gives a size of " +
                               std::to_string(header.totalSize) + " bytes)");
        const std::string sizes = std::to_string(header.fileSize) + " bytes, the archive says " +
                                  std::to_string(header.totalSize);
        if (header.fileSize < header.totalSize)
            throw ArchiveError(ArchiveProblem::Smaller, "the file is cut short: " + sizes);
        throw ArchiveError(ArchiveProblem::Larger, "the file is longer than its archive: " + sizes);
    }
    header.commentCut = ReadText(bytes, header.comment);
    header.runCommandCut = ReadText(bytes, header.runCommand);
    const PasswordFields password = ReadPasswordFields(bytes);
    header.passwordFlag = password.flag;
    header.passwordCheck = password.check;
    header.payloadOffset = bytes.Offset();
    return header;
}

ArchiveHeader ReadArchiveHeader(ByteSource& source) { return ReadArchiveHeader(source, ReadArchiveFront(source)); }

bool PasswordMatches(const ArchiveHeader& header, std::string_view password) {
    if (!header.Scrambled()) return true;
    const auto* key = reinterpret_cast<const std::uint8_t*>(password.data());
    return !password.empty() && Crc16(key, password.size()) == header.passwordCheck;
}

}  // namespace quorvel::reader
