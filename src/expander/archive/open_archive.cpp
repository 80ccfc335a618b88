// Opening the archive carried behind the Expander's own executable: the banner, the length
// checks, the header fields, the comment and the password question.
#include "format/archive_format.hpp"
#include "expander/archive/open_archive.hpp"
#include "expander/archive/block_stream.hpp"
#include "expander/console/console.hpp"
#include "expander/console/messages.hpp"

namespace quorvel {

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
std::uint8_t ReadHeaderByte() {
    std::uint8_t byte;
    if (!ReadExact(ArchiveFile, &byte, 1)) ReadErrorExit();
    --BytesLeft;
    return byte;
}

void ReadHeaderString(Text& text) {
    text.Clear();
    for (std::uint8_t byte; (byte = ReadHeaderByte()) != 0;) text.Append(static_cast<char>(byte));
}

[[noreturn]] void RefuseLength(const char* message) {
    WriteText(message);
    WriteChar(kBell);
    EndLine();
    SkipLine();
    CloseFile(ArchiveFile);
    EndProgram(1);
}

// Each character leaves in one write, so a double-byte character is never split. The
// comment is shown and dropped; its storage is then reused for the run command.
void ShowComment() {
    Text& comment = RunCommand;
    ReadHeaderString(comment);
    if (comment.length == 0) return;
    for (const char* at = comment.CStr(); *at != 0;) {
        const char* next = NextChar(at);
        WriteBytes(at, static_cast<std::uint32_t>(next - at));
        FlushOutput();
        at = next;
    }
    EndLine();
}

void ReadPasswordFields() {
    const std::uint8_t flag = ReadHeaderByte();
    Scrambled = flag != 0;
    if (!Scrambled) return;
    KeyIndex = 1;
    std::uint16_t stored = ReadHeaderByte();
    stored |= static_cast<std::uint16_t>(ReadHeaderByte() << 8);
    PasswordCheck = static_cast<std::uint16_t>(stored ^ PasswordCheckMask(flag));
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
        EndProgram(1);
    }
    if (!SetPosition(ArchiveFile, StubSize)) ReadErrorExit();
    std::uint8_t sizeBytes[4];
    if (!ReadExact(ArchiveFile, sizeBytes, 4)) ReadErrorExit();
    const auto totalSize = static_cast<std::int32_t>(
        sizeBytes[0] | sizeBytes[1] << 8 | sizeBytes[2] << 16 | static_cast<std::uint32_t>(sizeBytes[3]) << 24);
    BytesLeft = length - StubSize - 4;
    if (length < totalSize) RefuseLength(message::kSmaller);
    if (length > totalSize) RefuseLength(message::kLarger);
    StreamPosition = 0;
    FillCrc16Tables(CheckTables);
    ShowComment();
    ReadHeaderString(RunCommand);
    ReadPasswordFields();
    if (Scrambled) AskPassword();
}

}  // namespace quorvel
