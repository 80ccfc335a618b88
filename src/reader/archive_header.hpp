// The front of a self-extracting file: which Expander stands there, and the archive header
// behind it (total size, comment, run command, password check), with the length checks the
// Expander makes before it extracts anything.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "format/stub_kind.hpp"
#include "reader/byte_source.hpp"
#include "reader/reader_namespace.hpp"

namespace quorvel::reader {

// What stands in front of the archive, known before anything behind it is read.
struct ArchiveFront {
    std::uint64_t fileSize = 0;
    // A whole PE or ELF program in the first 20480 bytes: an Expander, of this build or another.
    bool program = false;
    // Unknown unless `program`.
    StubKind stub = StubKind::Unknown;
};

struct ArchiveHeader {
    StubKind stub = StubKind::Unknown;
    std::uint64_t fileSize = 0;
    std::uint32_t totalSize = 0;
    // Both as stored, in the archive's code page. A comment longer than kMaxHeaderText is
    // kept in part (commentCut).
    std::string comment;
    std::string runCommand;
    bool commentCut = false;
    bool runCommandCut = false;
    std::uint8_t passwordFlag = 0;     // 0: not scrambled
    std::uint16_t passwordCheck = 0;   // the password's Crc16, unmasked
    std::uint64_t payloadOffset = 0;   // where the block stream begins

    bool Scrambled() const { return passwordFlag != 0; }
};

// Texts of the header are kept up to this length; the rest is skipped.
constexpr std::size_t kMaxHeaderText = 1 << 20;

// The file's size and the program in front of it. Throws ArchiveError Unreadable only.
ArchiveFront ReadArchiveFront(ByteSource& source);

// Reads and checks the header. Throws ArchiveError: NotAnArchive, BareStub, Smaller, Larger,
// CutShort.
//
// A file is taken for a self-extracting one when its header's TotalSize is its length, or,
// when a program stands in front, when the TotalSize is one an archive can have: so a
// download cut short is told as such, while a program, a text or a zip file is "not a
// self-extracting file" however its bytes at 20480 read.
ArchiveHeader ReadArchiveHeader(ByteSource& source, const ArchiveFront& front);
ArchiveHeader ReadArchiveHeader(ByteSource& source);

// Whether the password (in the archive's code page) is the one the archive was scrambled
// with. An empty password never is.
bool PasswordMatches(const ArchiveHeader& header, std::string_view password);

}  // namespace quorvel::reader
