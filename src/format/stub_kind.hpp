// Which program stands in front of an archive: told from the file header of its first
// 20480 bytes.
#pragma once

#include <cstdint>
#include <span>

#include "format/little_endian.hpp"

namespace quorvel::format {

enum class StubKind : std::uint8_t {
    WindowsI686,    // a 32-bit Windows program
    WindowsX86_64,  // a 64-bit Windows program
    NativeX86_64,   // a Linux x86_64 program
    Unknown,        // something else
};

// A PE file names its machine behind the "PE\0\0" signature that the MZ header points to;
// an ELF file in its class byte and machine field.
inline StubKind IdentifyStub(std::span<const std::uint8_t> stub) {
    auto at = [&](std::size_t offset, unsigned count) -> std::uint64_t {
        return offset + count <= stub.size() ? LoadLittleEndian(stub.data() + offset, count) : 0;
    };
    if (stub.size() >= 64 && stub[0] == 'M' && stub[1] == 'Z') {
        const std::uint64_t pe = at(0x3C, 4);
        if (pe + 6 <= stub.size() && at(pe, 4) == 0x00004550) {
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

inline bool IsWindowsStub(StubKind kind) { return kind == StubKind::WindowsI686 || kind == StubKind::WindowsX86_64; }

}  // namespace quorvel::format
