// The archive header behind the Expander, field by field: TotalSize, the comment and the run
// command (zero-terminated texts), the password flag and, when the flag is not 0, the
// masked password check. Shared by the Expander and the reader, each with a byte stream of
// its own; the length checks between the fields are each one's own.
#pragma once

#include <cstdint>

#include "format/archive_format.hpp"
#include "format/byte_stream.hpp"

namespace quorvel::format {

template <ByteStream Source>
std::uint32_t ReadTotalSize(Source& source) {
    return ReadLittleEndian(source, kTotalSizeBytes);
}

// Stores a TotalSize into the header's first bytes, whatever its value.
inline void StoreTotalSize(std::uint8_t* header, std::uint32_t totalSize) {
    for (std::uint32_t i = 0; i < kTotalSizeBytes; ++i) header[i] = static_cast<std::uint8_t>(totalSize >> (8 * i));
}

// Hands each byte of a zero-terminated text to text.Append, which may keep or drop it.
template <ByteStream Source, typename Text>
void ReadHeaderText(Source& source, Text& text) {
    for (std::uint8_t byte; (byte = source.NextByte()) != 0;) text.Append(static_cast<char>(byte));
}

struct PasswordFields {
    std::uint8_t flag;    // 0: not scrambled
    std::uint16_t check;  // the password's Crc16, unmasked
};

template <ByteStream Source>
PasswordFields ReadPasswordFields(Source& source) {
    PasswordFields fields{source.NextByte(), 0};
    if (fields.flag != 0)
        fields.check =
            static_cast<std::uint16_t>(ReadLittleEndian(source, kPasswordCheckBytes) ^ PasswordCheckMask(fields.flag));
    return fields;
}

}  // namespace quorvel::format
