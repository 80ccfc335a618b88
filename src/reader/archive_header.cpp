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

}  // namespace

ArchiveHeader ReadArchiveHeader(ByteSource& source) {
    ArchiveHeader header;
    header.fileSize = source.Size();
    if (header.fileSize < static_cast<std::uint64_t>(StubSize))
        throw ArchiveError(ArchiveProblem::NotAnArchive,
                           "not a self-extracting file: " + std::to_string(header.fileSize) +
                               " bytes, fewer than an Expander's 20480");
    std::vector<std::uint8_t> stub(StubSize);
    stub.resize(source.ReadAt(0, stub));
    header.stub = IdentifyStub(stub);
    if (header.fileSize == static_cast<std::uint64_t>(StubSize))
        throw ArchiveError(ArchiveProblem::BareStub, "an Expander with no archive behind it");

    HeaderBytes bytes(source, StubSize);
    header.totalSize = ReadTotalSize(bytes);
    const std::string sizes = std::to_string(header.fileSize) + " bytes, the archive says " +
                              std::to_string(header.totalSize);
    if (header.fileSize < header.totalSize)
        throw ArchiveError(ArchiveProblem::Smaller, "the file is cut short: " + sizes);
    if (header.fileSize > header.totalSize)
        throw ArchiveError(ArchiveProblem::Larger, "the file is longer than its archive: " + sizes);
    header.commentCut = ReadText(bytes, header.comment);
    header.runCommandCut = ReadText(bytes, header.runCommand);
    const PasswordFields password = ReadPasswordFields(bytes);
    header.passwordFlag = password.flag;
    header.passwordCheck = password.check;
    header.payloadOffset = bytes.Offset();
    return header;
}

bool PasswordMatches(const ArchiveHeader& header, std::string_view password) {
    if (!header.Scrambled()) return true;
    const auto* key = reinterpret_cast<const std::uint8_t*>(password.data());
    return !password.empty() && Crc16(key, password.size()) == header.passwordCheck;
}

}  // namespace quorvel::reader
