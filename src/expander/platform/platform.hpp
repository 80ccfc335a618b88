// The Expander's view of the operating system: file objects, the directory search, folder
// creation, multibyte stepping, the console handles, the shell and process end. Exactly one
// implementation is linked: win32/ or posix/. Nothing outside those folders knows the system.
#pragma once

#include <cstdint>

#include "expander/expander_namespace.hpp"
#include "format/archive_format.hpp"
#include "format/file_time.hpp"

namespace quorvel::expander {

enum class FileState : std::uint8_t { Closed, Reading, ReadWrite };

struct FileObject {
    char name[kMaxNameLength + 1];
    std::intptr_t handle;
    FileState state;
    std::uint16_t leaf;  // where the name's last part begins
};

// Reports an internal fault with its number and the code address, and ends the process.
using FaultReporter = void (*)(std::uint32_t number, std::uint32_t address);

// Everything the process needs before the first phase runs: fault handlers that hand every
// internal fault to the reporter, interrupt handling, the DLL search restriction.
void PrepareProcess(FaultReporter reporter);

// A name that opens the running executable; false on failure. Windows: its path, up to 260
// characters. POSIX: "/proc/self/exe", whatever the length of the real path.
bool GetOwnPath(char (&path)[261]);

bool OpenForReading(FileObject& file, const char* name);

// Target folders. A run reaches every folder and file it makes from the folder it started
// in, one part of the name at a time, never through a path that the system resolves again:
// it holds the folders along the current path, and looks up and creates files in the
// innermost one. A link, junction or other reparse point on the way is never followed.

// Lets go of the folders held but the outermost `keep` of them (none: the run's own folder
// is the innermost again).
void LeaveFolders(std::uint32_t keep = 0);
// Enters the folder named by path's last part (which begins at part) inside the innermost
// folder held, making it when nothing stands there; it is held from then on. False when it cannot be made or entered,
// or when something else stands there: a file, a link, a reparse point.
bool EnterFolder(const char* path, const char* part);
// Whether anything stands at the name in the innermost folder: a file, a folder, a link
// (even one that leads nowhere). leaf is where the name's last part begins.
bool NameExists(const char* name, const char* leaf);
// Creates a new regular file at the name in the innermost folder, open for reading and
// writing. To replace, whatever stands at the name is removed first: a hard link, a link, a
// pipe or a device is never written through or opened. Fails when something stands at the
// name that could not be removed, or when the name is longer than kMaxNameLength (it is
// never shortened).
bool CreateForWriting(FileObject& file, const char* name, const char* leaf, bool replace);
// Reads up to n bytes; delivered gets the count. False only when the system call fails.
bool ReadSome(FileObject& file, void* buffer, std::uint32_t n, std::uint32_t& delivered);
// Reads exactly n bytes; false when the call fails or fewer arrive.
inline bool ReadExact(FileObject& file, void* buffer, std::uint32_t n) {
    std::uint32_t got = 0;
    return ReadSome(file, buffer, n, got) && got == n;
}
// Writes exactly n bytes; false when the call fails or fewer are written.
bool WriteExact(FileObject& file, const void* buffer, std::uint32_t n);
// Length in bytes as a signed 32-bit value, -1 on failure.
std::int32_t FileLength(FileObject& file);
bool SetPosition(FileObject& file, std::int32_t offset);
// The object counts as closed before the call; false when it was not open or the call fails.
bool CloseFile(FileObject& file);
// Removes the file by its name, in the folder it was created in.
bool DeleteByName(FileObject& file);
bool SetTimes(FileObject& file, const FileTime& creation, const FileTime& lastAccess,
              const FileTime& lastWrite);
// Where files carry permission bits, a file whose first bytes (`start`, `length` of them)
// begin a script ("#!") or a program (the ELF magic) becomes executable, so that it can be
// run, as the run command for one. Elsewhere nothing happens.
void KeepExecutable(FileObject& file, const std::uint8_t* start, std::int32_t length);

// Start of the character after the one at text (two bytes for a lead byte of the system's
// double-byte code page); the same position at the terminating zero.
const char* NextChar(const char* text);

// Hands a document or program to the shell; greater than 32 means it was started.
std::intptr_t OpenWithShell(const char* file);

// Console. The output kind is decided once, on first use.
enum class OutputKind : std::uint8_t { Unknown, CharacterDevice, Other };
OutputKind StandardOutputKind();
void ConsoleWrite(const void* bytes, std::uint32_t n);
// Bytes delivered, 0 at the end of input, -1 on failure.
std::int32_t ConsoleRead(void* buffer, std::uint32_t n);

// While an output file is unfinished it is registered here (nullptr ends the registration),
// so that an interrupt deletes it before the process ends. Its creation and registration
// happen between HoldInterrupts and ReleaseInterrupts, where an interrupt waits: it finds
// either no file or a registered one.
void GuardOutputFile(FileObject* file);
void HoldInterrupts();
void ReleaseInterrupts();

// Ends the process with the exit code. Tests install a hook that leaves by an exception.
[[noreturn]] void EndProcess(std::uint32_t code);
using ProcessEndHook = void (*)(std::uint32_t code);
void SetProcessEndHook(ProcessEndHook hook);

// Internal-fault numbers.
constexpr std::uint32_t kFaultDivision = 200;
constexpr std::uint32_t kFaultStack = 202;
constexpr std::uint32_t kFaultHeap = 203;
constexpr std::uint32_t kFaultOverflow = 215;
constexpr std::uint32_t kFaultAccess = 216;
constexpr std::uint32_t kFaultOther = 217;

// Entry of the program proper, called by the platform's entry point.
[[noreturn]] void ProgramMain();

}  // namespace quorvel::expander
