// The layout of a self-extracting file and of its entry records: every constant of the
// format, shared by the Expander, the packer and the reader.
#pragma once

#include <cstdint>

namespace quorvel::format {

// Length of the Expander's executable and offset of the archive behind it.
constexpr std::int32_t StubSize = 20480;

// The header: TotalSize (4 bytes), the comment and the run command (zero-terminated), the
// password flag (0: not scrambled) and, when scrambled, the masked password check (2).
constexpr std::uint32_t kTotalSizeBytes = 4;
// A file, a header's TotalSize and an entry's size stay below 2^31 bytes.
constexpr std::uint32_t kSizeLimit = 0x7FFFFFFF;

// The stored password check is the Crc16 of the password XOR-ed with the flag in both bytes.
constexpr std::uint32_t kPasswordCheckBytes = 2;
constexpr std::uint16_t PasswordCheckMask(std::uint8_t flag) { return static_cast<std::uint16_t>(flag * 0x0101u); }

// Data bytes per block of the block stream; each block adds two check bytes.
constexpr std::int32_t kBlockDataSize = 4096;
constexpr std::int32_t kBlockSize = kBlockDataSize + 2;

// Entry names: a plain zero-terminated name, or the prefix mark, a count n and the rest, for
// a name that repeats the first n + kMinimumPrefix bytes of the one before it.
constexpr char kPrefixMark = '*';
constexpr std::uint32_t kMinimumPrefix = 2;
constexpr std::uint32_t kLongestPrefix = kMinimumPrefix + 255;
// A folder entry's name ends in these two bytes; any other name is a file entry's.
constexpr char kFolderSuffix[] = "\\.";
// Longest name the Expander can create, terminator excluded.
constexpr std::uint32_t kMaxNameLength = 259;

// A file entry after its name: three FILETIMEs (creation, last access, last write), the
// entry size (4 bytes, below 2^31), ReferenceBack (1 byte; 0 for none) and, when it is not
// 0, the shared prefix length (2 bytes). The compressed data follows.
constexpr std::uint32_t kFileTimeBytes = 8;
constexpr std::uint32_t kEntrySizeBytes = 4;
constexpr std::uint32_t kSharedPrefixBytes = 2;

// The history ring: the first kSlotSize bytes of each of the last kSlotCount file entries.
constexpr std::uint32_t kSlotCount = 256;
constexpr std::int32_t kSlotSize = 16384;
// ReferenceBack reaches at most this many file entries back.
constexpr std::uint32_t kMaxReferenceBack = kSlotCount - 1;

}  // namespace quorvel::format
