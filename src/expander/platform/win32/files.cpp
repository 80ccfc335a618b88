// File objects, the directory search and the held target folders through kernel32.
#include <windows.h>

#include "expander/platform/platform.hpp"

namespace quorvel::expander {
namespace {

HANDLE Handle(const FileObject& file) { return reinterpret_cast<HANDLE>(file.handle); }
bool IsOpen(const FileObject& file) { return file.state != FileState::Closed; }

bool Open(FileObject& file, const char* name, DWORD access, DWORD disposition, FileState state) {
    std::uint32_t length = 0;
    while (name[length] != 0)
        if (++length > kMaxNameLength) return false;
    for (std::uint32_t i = 0; i <= length; ++i) file.name[i] = name[i];
    HANDLE handle = CreateFileA(name, access, FILE_SHARE_READ, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    file.handle = reinterpret_cast<std::intptr_t>(handle);
    file.state = state;
    return true;
}

}  // namespace

bool GetOwnPath(char (&path)[261]) {
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    return n != 0 && n < sizeof path;
}

bool OpenForReading(FileObject& file, const char* name) {
    return Open(file, name, GENERIC_READ, OPEN_EXISTING, FileState::Reading);
}

namespace {

// The folders along the current path, outermost first. Each is held open without sharing
// deletion or writing, so that no part of the path can be renamed, removed or made a
// reparse point while files below it are made: a path through them resolves to them alone.
HANDLE HeldFolders[kMaxNameLength / 2 + 1];
std::uint32_t HeldCount;

HANDLE OpenFolder(const char* path) {
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// Asked by name once the folder is held: the name cannot lead elsewhere from then on. (Wine
// opens a link's target even when asked for the link itself; its name still shows the link.)
bool IsPlainFolder(const char* path) {
    constexpr DWORD kKind = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    return (GetFileAttributesA(path) & kKind) == FILE_ATTRIBUTE_DIRECTORY;
}

}  // namespace

void LeaveFolders(std::uint32_t keep) {
    while (HeldCount > keep) CloseHandle(HeldFolders[--HeldCount]);
}

// Opened as itself, whatever it is: a file or a reparse point found there is refused.
bool EnterFolder(const char* path, const char*) {
    if (HeldCount == sizeof HeldFolders / sizeof HeldFolders[0]) return false;
    HANDLE folder = OpenFolder(path);
    if (folder == INVALID_HANDLE_VALUE) {
        if (!CreateDirectoryA(path, nullptr)) return false;
        folder = OpenFolder(path);
        if (folder == INVALID_HANDLE_VALUE) return false;
    }
    HeldFolders[HeldCount++] = folder;
    return IsPlainFolder(path);
}

bool NameExists(const char* name, const char*) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(name, &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

// CREATE_NEW: the file is new, or the creation fails; nothing standing at the name is
// opened.
bool CreateForWriting(FileObject& file, const char* name, const char*, bool replace) {
    if (replace) DeleteFileA(name);
    return Open(file, name, GENERIC_READ | GENERIC_WRITE, CREATE_NEW, FileState::ReadWrite);
}

bool ReadSome(FileObject& file, void* buffer, std::uint32_t n, std::uint32_t& delivered) {
    DWORD got = 0;
    if (!IsOpen(file) || !ReadFile(Handle(file), buffer, n, &got, nullptr)) return false;
    delivered = got;
    return true;
}

bool WriteExact(FileObject& file, const void* buffer, std::uint32_t n) {
    DWORD done = 0;
    return IsOpen(file) && WriteFile(Handle(file), buffer, n, &done, nullptr) && done == n;
}

std::int32_t FileLength(FileObject& file) {
    if (!IsOpen(file)) return -1;
    return static_cast<std::int32_t>(GetFileSize(Handle(file), nullptr));
}

bool SetPosition(FileObject& file, std::int32_t offset) {
    return IsOpen(file) &&
           SetFilePointer(Handle(file), offset, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
}

bool CloseFile(FileObject& file) {
    if (!IsOpen(file)) return false;
    file.state = FileState::Closed;
    return CloseHandle(Handle(file)) != 0;
}

bool DeleteByName(FileObject& file) { return DeleteFileA(file.name) != 0; }

bool SetTimes(FileObject& file, const FileTime& creation, const FileTime& lastAccess,
              const FileTime& lastWrite) {
    auto* c = reinterpret_cast<const FILETIME*>(&creation);
    auto* a = reinterpret_cast<const FILETIME*>(&lastAccess);
    auto* w = reinterpret_cast<const FILETIME*>(&lastWrite);
    return IsOpen(file) && SetFileTime(Handle(file), c, a, w) != 0;
}

void KeepExecutable(FileObject&, const std::uint8_t*, std::int32_t) {}

const char* NextChar(const char* text) { return CharNextA(text); }

}  // namespace quorvel::expander
