// Buffered console streams. Output leaves in pieces of 128 bytes; only a character device
// is flushed at line ends and after questions. Input is refilled 128 bytes at a time, and
// the end of input shows as a 0x1A byte that no read ever moves past.
#include "expander/console/console.hpp"

#include "expander/console/messages.hpp"

namespace quorvel::expander {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

enum class OutputState : std::uint8_t { Unconnected, Flushing, Buffering, Unusable };

struct OutputStream {
    OutputState state;
    std::uint32_t fill;
    char buffer[kConsoleBufferSize];
};

struct InputStream {
    std::uint32_t position;
    std::uint32_t fill;
    char buffer[kConsoleBufferSize];
};

OutputStream Output;
InputStream Input;

void ConnectOutput() {
    switch (StandardOutputKind()) {
        case OutputKind::CharacterDevice: Output.state = OutputState::Flushing; break;
        case OutputKind::Other: Output.state = OutputState::Buffering; break;
        case OutputKind::Unknown: Output.state = OutputState::Unusable; break;
    }
}

void WriteOutBuffer() {
    if (Output.fill != 0) ConsoleWrite(Output.buffer, Output.fill);
    Output.fill = 0;
}

// The next input byte without consuming it. A failed refill shows the end-of-input mark
// for this request only; the next request tries again.
char PeekInput() {
    if (Input.position >= Input.fill) {
        std::int32_t got = ConsoleRead(Input.buffer, kConsoleBufferSize);
        if (got < 0) return kEndOfInputMark;
        Input.position = 0;
        Input.fill = 1;
        if (got == 0) {
            Input.buffer[0] = kEndOfInputMark;
        } else {
            Input.fill = static_cast<std::uint32_t>(got);
        }
    }
    return Input.buffer[Input.position];
}

}  // namespace

FileObject ArchiveFile;
FileObject OutputFile;

void WriteBytes(const char* bytes, std::uint32_t n) {
    if (Output.state == OutputState::Unconnected) ConnectOutput();
    if (Output.state == OutputState::Unusable) return;
    for (std::uint32_t i = 0; i < n; ++i) {
        Output.buffer[Output.fill++] = bytes[i];
        if (Output.fill == kConsoleBufferSize) WriteOutBuffer();
    }
}

void WriteText(const char* text) {
    std::uint32_t n = 0;
    while (text[n] != 0) ++n;
    WriteBytes(text, n);
}

void WriteChar(char c) { WriteBytes(&c, 1); }

void WriteName(const char* name) {
    for (; *name != 0; ++name) {
        const auto byte = static_cast<unsigned char>(*name);
        if (byte >= 0x20 && byte != 0x7F) {
            WriteChar(*name);
            continue;
        }
        const char escaped[] = {'\\', 'x', kHexDigits[byte >> 4], kHexDigits[byte & 15]};
        WriteBytes(escaped, sizeof escaped);
    }
}

void FlushOutput() {
    if (Output.state == OutputState::Flushing) WriteOutBuffer();
}

void EndLine() {
    WriteBytes("\r\n", 2);
    FlushOutput();
}

void ReadText(TextByteSink sink) {
    for (;;) {
        char c = PeekInput();
        if (c == '\r' || c == kEndOfInputMark) return;
        ++Input.position;
        sink(c);
    }
}

char ReadChar() {
    char c = PeekInput();
    if (c != kEndOfInputMark) ++Input.position;
    return c;
}

void SkipLine() {
    for (;;) {
        char c = PeekInput();
        if (c == kEndOfInputMark) return;
        ++Input.position;
        if (c == '\r') break;
    }
    // One more byte after the CR: an LF belongs to the line, anything else stays unread.
    if (PeekInput() == '\n') ++Input.position;
}

void EndProgram(std::uint32_t code) {
    if (Output.state != OutputState::Unusable) WriteOutBuffer();
    EndProcess(code);
}

void FatalExit() {
    CloseFile(ArchiveFile);
    // Only a file that was still open was being written; a failed close means none was.
    // It stays registered until it is gone, so that an interrupt meanwhile deletes it too.
    if (CloseFile(OutputFile)) DeleteByName(OutputFile);
    GuardOutputFile(nullptr);
    WriteText(message::kPressEnter);
    WriteChar(kBell);
    EndLine();
    SkipLine();
    EndProgram(kExitFailed);
}

void ReadErrorExit() {
    WriteText(message::kReadError);
    EndLine();
    FatalExit();
}

void WriteErrorExit() {
    WriteText(message::kWriteError);
    EndLine();
    FatalExit();
}

void BrokenFileExit() {
    WriteText(message::kBroken);
    EndLine();
    FatalExit();
}

void ReportInternalFault(std::uint32_t number, std::uint32_t address) {
    char text[3 + 4 + 8];
    text[0] = static_cast<char>('0' + number / 100 % 10);
    text[1] = static_cast<char>('0' + number / 10 % 10);
    text[2] = static_cast<char>('0' + number % 10);
    for (int i = 0; i < 4; ++i) text[3 + i] = message::kRuntimeErrorAt[i];
    for (int i = 0; i < 8; ++i) text[7 + i] = kHexDigits[(address >> (28 - 4 * i)) & 15];
    WriteText(message::kRuntimeError);
    WriteBytes(text, sizeof text);
    EndLine();
    EndProgram(number);
}

void ResetConsole() {
    Output = {};
    Input = {};
}

}  // namespace quorvel::expander
