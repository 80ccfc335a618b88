#include "reader/archive_header.hpp"

#include <vector>

#include "format/archive_format.hpp"
#include "format/crc16.hpp"
#include "format/little_endian.hpp"
#include "reader/archive_error.hpp"

namespace quorvel::reader {
namespace {

// The machine a program in front of the archive was built for, from its file header.
StubKind IdentifyStub(std::span<const std::uint8_t> stub) {
    auto at = [&](std::size_t offset, unsigned count) -> std::uint64_t {
        return offset + count <= stub.size() ? LoadLittleEndian(stub.data() + offset, count) : 0;
    };
    if (stub.size() >= 64 && stub[0] == 'M' && stub[1] == 'Z') {
        const std::uint64_t pe = at(0x3C, 4);
        if (pe + 6 <= stub.size() && at(pe, 4) == 0x00004550) {  // "PE\0\0"
            const std::uint64_t machine = at(pe + 4, 2);
            if (machine == 0x014C) return StubKind::WindowsI686;
            if (machine == 0x8664) return StubKind::WindowsX86_64;
        }
        return StubKind::Unknown;
    }
    const bool elf = stub.size() >= 20 && stub[0] == 0x7F && stub[1] == 'E' && stub[2] == 'L' && stub[3] == 'F';
    if (elf && stub[4] == 2 && at(18, 2) == 62) return StubKind::NativeX86_64;
    return StubKind::Unknown;
}

// The header's bytes, read in pieces from the source, one at a time to the parser.
class HeaderBytes {
public:
    HeaderBytes(ByteSource& source, std::uint64_t offset) : source_(source), offset_(offset) {}

    std::uint8_t Next() {
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
    // A zero-terminated text, kept up to kMaxHeaderText bytes; true when cut.
    bool Text(std::string& text) {
        bool cut = false;
        for (std::uint8_t byte; (byte = Next()) != 0;) {
            if (text.size() < kMaxHeaderText) {
                text.push_back(static_cast<char>(byte));
            } else {
                cut = true;
            }
        }
        return cut;
    }
    std::uint64_t Offset() const { return offset_; }

private:
    ByteSource& source_;
    std::uint64_t offset_;
    std::vector<std::uint8_t> buffer_;
    std::size_t at_ = 0;
};

}  // namespace

const char* StubKindName(StubKind kind) {
    switch (kind) {
        case StubKind::WindowsI686: return "Windows i686";
        case StubKind::WindowsX86_64: return "Windows x86_64";
        case StubKind::NativeX86_64: return "native x86_64";
        case StubKind::Unknown: break;
    }
    return "unknown";
}

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
    std::uint8_t size[kTotalSizeBytes];
    for (std::uint8_t& byte : size) byte = bytes.Next();
    header.totalSize = static_cast<std::uint32_t>(LoadLittleEndian(size, kTotalSizeBytes));
    const std::string sizes = std::to_string(header.fileSize) + " bytes, the archive says " +
                              std::to_string(header.totalSize);
    if (header.fileSize < header.totalSize)
        throw ArchiveError(ArchiveProblem::Smaller, "the file is cut short: " + sizes);
    if (header.fileSize > header.totalSize)
        throw ArchiveError(ArchiveProblem::Larger, "the file is longer than its archive: " + sizes);
    header.commentCut = bytes.Text(header.comment);
    header.runCommandCut = bytes.Text(header.runCommand);
    header.passwordFlag = bytes.Next();
    if (header.Scrambled()) {
        const std::uint8_t low = bytes.Next();
        const std::uint16_t stored = static_cast<std::uint16_t>(low | bytes.Next() << 8);
        header.passwordCheck = static_cast<std::uint16_t>(stored ^ PasswordCheckMask(header.passwordFlag));
    }
    header.payloadOffset = bytes.Offset();
    return header;
}

bool PasswordMatches(const ArchiveHeader& header, std::string_view password) {
    if (!header.Scrambled()) return true;
    const auto* key = reinterpret_cast<const std::uint8_t*>(password.data());
    return !password.empty() && Crc16(key, password.size()) == header.passwordCheck;
}

}  // namespace quorvel::reader
