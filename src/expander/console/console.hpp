// Console dialogue: buffered standard output, line and character input with an
// end-of-input mark that is never consumed, and the exits every failure ends in.
#pragma once

#include <cstdint>

#include "expander/platform/platform.hpp"

namespace quorvel::expander {

constexpr char kEndOfInputMark = 0x1A;
constexpr char kBell = 0x07;
constexpr int kConsoleBufferSize = 128;

// The two file objects of a run; FatalExit closes both and deletes a partly written output.
extern FileObject ArchiveFile;
extern FileObject OutputFile;

void WriteText(const char* text);
void WriteBytes(const char* bytes, std::uint32_t n);
void WriteChar(char c);
// A name from the archive, its control bytes (below 0x20, and 0x7F) written as \xNN, so that
// a name cannot move the cursor, clear the screen or hide behind another text.
void WriteName(const char* name);
void FlushOutput();
void EndLine();

// Receives the bytes of one input line, one at a time, as ReadText collects them.
using TextByteSink = void (*)(char byte);
// Collects bytes up to, not including, the next CR or end-of-input mark, which stay unread.
void ReadText(TextByteSink sink);
char ReadChar();
void SkipLine();

// The exit codes: success (also when the run command fails to start), a refusal before
// extraction (no archive attached, a wrong file length, a third wrong password), and a
// failure during the work. Internal faults end with their own numbers, 200 and up.
constexpr std::uint32_t kExitSuccess = 0;
constexpr std::uint32_t kExitRefused = 1;
constexpr std::uint32_t kExitFailed = 2;

// Writes out what is buffered and ends the process with the code.
[[noreturn]] void EndProgram(std::uint32_t code);
[[noreturn]] void FatalExit();
[[noreturn]] void ReadErrorExit();
[[noreturn]] void WriteErrorExit();
// "This file is broken.", then FatalExit.
[[noreturn]] void BrokenFileExit();

// Writes what is buffered, then "Runtime error NNN at XXXXXXXX", and ends the process with
// the fault's number.
[[noreturn]] void ReportInternalFault(std::uint32_t number, std::uint32_t address);

// Returns both streams to their unconnected state; tests run many programs in one process.
void ResetConsole();

}  // namespace quorvel::expander
