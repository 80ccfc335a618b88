// Standard input and output through kernel32 handles.
#include <windows.h>

#include "expander/platform/platform.hpp"

namespace quorvel::expander {

OutputKind StandardOutputKind() {
    switch (GetFileType(GetStdHandle(STD_OUTPUT_HANDLE))) {
        case FILE_TYPE_UNKNOWN: return OutputKind::Unknown;
        case FILE_TYPE_CHAR: return OutputKind::CharacterDevice;
        default: return OutputKind::Other;
    }
}

void ConsoleWrite(const void* bytes, std::uint32_t n) {
    DWORD done;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes, n, &done, nullptr);
}

std::int32_t ConsoleRead(void* buffer, std::uint32_t n) {
    DWORD got = 0;
    if (!ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, n, &got, nullptr)) return -1;
    return static_cast<std::int32_t>(got);
}

}  // namespace quorvel::expander
