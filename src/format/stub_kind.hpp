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

namespace stub_layout {

// Whether `length` bytes from `offset` lie inside `size` bytes, without overflowing.
constexpr bool Fits(std::uint64_t offset, std::uint64_t length, std::uint64_t size) {
    return offset <= size && length <= size - offset;
}

// The value of `count` bytes at `offset`, or 0 past the end.
inline std::uint64_t ValueAt(std::span<const std::uint8_t> bytes, std::uint64_t offset, unsigned count) {
    return Fits(offset, count, bytes.size()) ? LoadLittleEndian(bytes.data() + offset, count) : 0;
}

// A PE file: the section table and every section's raw data, and a symbol table if any.
inline bool IsWholePe(std::span<const std::uint8_t> file) {
    const std::uint64_t size = file.size();
    const std::uint64_t pe = ValueAt(file, 0x3C, 4);
    if (!Fits(pe, 24, size) || ValueAt(file, pe, 4) != 0x00004550) return false;
    const std::uint64_t sections = ValueAt(file, pe + 6, 2);
    const std::uint64_t table = pe + 24 + ValueAt(file, pe + 20, 2);
    if (!Fits(table, sections * 40, size)) return false;
    for (std::uint64_t i = 0; i < sections; ++i) {
        const std::uint64_t rawSize = ValueAt(file, table + 40 * i + 16, 4);
        if (rawSize != 0 && !Fits(ValueAt(file, table + 40 * i + 20, 4), rawSize, size)) return false;
    }
    const std::uint64_t symbols = ValueAt(file, pe + 12, 4);
    return symbols == 0 || Fits(symbols, ValueAt(file, pe + 16, 4) * 18, size);
}

// A little-endian ELF file of either class: its program and section header tables and the
// file bytes of every segment.
inline bool IsWholeElf(std::span<const std::uint8_t> file) {
    const std::uint64_t size = file.size();
    if (size < 52 || (file[4] != 1 && file[4] != 2) || file[5] != 1) return false;
    const bool wide = file[4] == 2;
    const unsigned word = wide ? 8 : 4;
    const std::uint64_t programTable = ValueAt(file, wide ? 0x20 : 0x1C, word);
    const std::uint64_t sectionTable = ValueAt(file, wide ? 0x28 : 0x20, word);
    const std::uint64_t counts = wide ? 0x36 : 0x2A;  // entry size and number, of each table
    const std::uint64_t programEntry = ValueAt(file, counts, 2), programs = ValueAt(file, counts + 2, 2);
    const std::uint64_t sectionEntry = ValueAt(file, counts + 4, 2), sections = ValueAt(file, counts + 6, 2);
    if (!Fits(programTable, programs * programEntry, size)) return false;
    if (sectionTable != 0 && !Fits(sectionTable, sections * sectionEntry, size)) return false;
    for (std::uint64_t i = 0; i < programs; ++i) {
        const std::uint64_t entry = programTable + i * programEntry;
        const std::uint64_t offset = ValueAt(file, entry + (wide ? 8 : 4), word);
        if (!Fits(offset, ValueAt(file, entry + (wide ? 32 : 16), word), size)) return false;
    }
    return true;
}

}  // namespace stub_layout

// Whether the bytes hold a whole PE or ELF program, all its parts inside them, for any
// machine. The first 20480 bytes of a larger program (/bin/ls, setup.exe) hold none, so an
// ordinary program is not taken for an Expander with an archive behind it.
inline bool IsWholeProgram(std::span<const std::uint8_t> stub) {
    if (stub.size() >= 64 && stub[0] == 'M' && stub[1] == 'Z') return stub_layout::IsWholePe(stub);
    const bool elf = stub.size() >= 4 && stub[0] == 0x7F && stub[1] == 'E' && stub[2] == 'L' && stub[3] == 'F';
    return elf && stub_layout::IsWholeElf(stub);
}

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
