// Opening the archive carried behind the Expander's own executable: the banner, the length
// checks, the header fields, the comment and the password question.
#include "expander/archive/open_archive.hpp"

#include "expander/archive/block_stream.hpp"
#include "expander/console/console.hpp"
#include "expander/console/messages.hpp"
#include "expander/expander_namespace.hpp"
#include "format/archive_format.hpp"
#include "format/header_fields.hpp"

namespace quorvel::expander {

Text RunCommand;
Text Password;
bool Scrambled;
std::uint16_t PasswordCheck;
std::int32_t KeyIndex;

namespace {

void WriteBanner() {
    WriteText(message::kBannerStart);
    WriteText(message::kBannerName);
    WriteText(message::kBannerNotice);
    EndLine();
}

// The header is read before and outside the block stream, one byte per read. A header that
// runs past the end of the file ends in a read error rather than reading on.
struct HeaderBytes {
    std::uint8_t NextByte() {
        std::uint8_t byte;
        if (!ReadExact(ArchiveFile, &byte, 1)) ReadErrorExit();
        --BytesLeft;
        return byte;
    }
};

[[noreturn]] void RefuseLength(const char* message) {
    WriteText(message);
    WriteChar(kBell);
    EndLine();
    SkipLine();
    CloseFile(ArchiveFile);
    EndProgram(kExitRefused);
}

// Each character leaves in one write, so a double-byte character is never split. The
// comment is shown and dropped; its storage is then reused for the run command.
void ShowComment(HeaderBytes& bytes) {
    Text& comment = RunCommand;
    ReadHeaderText(bytes, comment);
    if (comment.length == 0) return;
    for (const char* at = comment.CStr(); *at != 0;) {
        const char* next = NextChar(at);
        WriteBytes(at, static_cast<std::uint32_t>(next - at));
        FlushOutput();
        at = next;
    }
    EndLine();
    comment.Clear();
}

void TakePasswordFields(HeaderBytes& bytes) {
    const PasswordFields fields = ReadPasswordFields(bytes);
    Scrambled = fields.flag != 0;
    KeyIndex = 1;
    PasswordCheck = fields.check;
}

}  // namespace

void OpenArchive() {
    WriteBanner();
    char path[261];
    if (!GetOwnPath(path) || !OpenForReading(ArchiveFile, path)) ReadErrorExit();
    const std::int32_t length = FileLength(ArchiveFile);
    if (length == StubSize) {
        WriteText(message::kCoreProgram);
        WriteChar(kBell);
        EndLine();
        CloseFile(ArchiveFile);
        EndProgram(kExitRefused);
    }
    if (!SetPosition(ArchiveFile, StubSize)) ReadErrorExit();
    HeaderBytes bytes;
    const auto totalSize = static_cast<std::int32_t>(ReadTotalSize(bytes));
    BytesLeft = length - StubSize - static_cast<std::int32_t>(kTotalSizeBytes);
    if (length < totalSize) RefuseLength(message::kSmaller);
    if (length > totalSize) RefuseLength(message::kLarger);
    StreamPosition = 0;
    FillCrc16Tables(CheckTables);
    ShowComment(bytes);
    ReadHeaderText(bytes, RunCommand);
    TakePasswordFields(bytes);
    if (Scrambled) AskPassword();
}

}  // namespace quorvel::expander
