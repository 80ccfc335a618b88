// File objects, the directory search and folder creation through kernel32.
#include <windows.h>

#include "platform/platform.hpp"

namespace quorvel {
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

// A link or other reparse point at the name is deleted, not written through; CREATE_NEW
// then fails if it could not be deleted or something has taken the name meanwhile.
bool CreateForWriting(FileObject& file, const char* name) {
    DWORD disposition = CREATE_ALWAYS;
    const std::int32_t attributes = FindAttributes(name);
    if (attributes >= 0 && (attributes & kReparsePointAttribute) != 0) {
        DeleteFileA(name);
        disposition = CREATE_NEW;
    }
    return Open(file, name, GENERIC_READ | GENERIC_WRITE, disposition, FileState::ReadWrite);
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

std::int32_t FindAttributes(const char* path) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE) return -1;
    FindClose(search);
    return static_cast<std::int32_t>(found.dwFileAttributes);
}

bool MakeFolder(const char* path) { return CreateDirectoryA(path, nullptr) != 0; }

const char* NextChar(const char* text) { return CharNextA(text); }

}  // namespace quorvel
