// Reading entry records: the name, stored whole or after a prefix of the previous name, and
// a file entry's fields in front of its compressed data, each checked as soon as it is read.
// Shared by the Expander and the reader, each with a byte source of its own.
#pragma once

#include <concepts>
#include <cstdint>

#include "format/archive_format.hpp"
#include "format/byte_stream.hpp"
#include "format/file_time.hpp"
#include "format/history_ring.hpp"
#include "format/window_preset.hpp"

namespace quorvel::format {

// Records that cannot be valid.
enum class RecordFault : std::uint8_t {
    EmptyName,        // a name of no bytes
    SizeTooLarge,     // an entry size of 2^31 or more
    ReferenceTooFar,  // ReferenceBack beyond the file entries so far
    PrefixTooLong,    // a shared prefix longer than the referenced file or than this one
};

// A stream of payload bytes whose Fault(fault) reports a record that cannot be valid and
// does not return.
template <typename Source>
concept RecordSource = ByteStream<Source> && requires(Source& source, RecordFault fault) { source.Fault(fault); };

// A byte string that can be cut short and grown by one byte at a time.
template <typename Name>
concept RecordName = requires(Name& name, std::uint32_t n, char c) {
    { name.Length() } -> std::convertible_to<std::uint32_t>;
    name.Truncate(n);
    name.Append(c);
};

// Replaces `name`, which holds the previous entry's name, with the next one: a plain name,
// or the prefix mark, a count n and the rest, which follows the first n + 2 bytes of the
// previous name (all of it if shorter).
template <RecordSource Source, RecordName Name>
void ReadEntryName(Source& source, Name& name) {
    std::uint8_t byte = source.NextByte();
    std::uint32_t kept = 0;
    if (byte == static_cast<std::uint8_t>(kPrefixMark)) {
        kept = source.NextByte() + kMinimumPrefix;
        if (kept > name.Length()) kept = name.Length();
        byte = source.NextByte();
    }
    name.Truncate(kept);
    for (; byte != 0; byte = source.NextByte()) name.Append(static_cast<char>(byte));
    if (name.Length() == 0) source.Fault(RecordFault::EmptyName);
}

// A folder entry's name ends in the two bytes backslash, period.
template <RecordName Name>
bool IsFolderEntry(const Name& name, const char* bytes) {
    const std::uint32_t n = name.Length();
    return n >= 2 && bytes[n - 2] == kFolderSuffix[0] && bytes[n - 1] == kFolderSuffix[1];
}

// Where a run stands in the history ring: the slot the next file entry fills, and the file
// entries so far, counted up to the ring's size, which bound ReferenceBack.
struct RingPosition {
    std::uint32_t CurrentSlot;
    std::uint32_t FilesProcessed;

    void Advance() {
        CurrentSlot = (CurrentSlot + 1) % kSlotCount;
        if (FilesProcessed < kSlotCount) ++FilesProcessed;
    }
};

struct FileFields {
    FileTime CreationTime;
    FileTime LastAccessTime;
    FileTime LastWriteTime;
    std::int32_t EntrySize;
    std::uint32_t ReferenceBack;
    HistorySlot* ReferencedSlot;
    std::int32_t SharedPrefixLength;
    WindowPreset Preset;
};

template <RecordSource Source>
FileTime ReadFileTime(Source& source) {
    const std::uint32_t low = ReadLittleEndian(source, 4);
    return FileTime{low, ReadLittleEndian(source, 4)};
}

// The fields of a file entry in front of its compressed data. The entry's slot takes its
// length at once; a reference reaches only slots filled earlier in this run.
template <RecordSource Source>
void ReadFileFields(Source& source, HistoryRing& ring, const RingPosition& position, FileFields& fields) {
    fields.CreationTime = ReadFileTime(source);
    fields.LastAccessTime = ReadFileTime(source);
    fields.LastWriteTime = ReadFileTime(source);
    fields.EntrySize = static_cast<std::int32_t>(ReadLittleEndian(source, kEntrySizeBytes));
    if (fields.EntrySize < 0) source.Fault(RecordFault::SizeTooLarge);
    HistorySlot* slots = ring.Slots;
    slots[position.CurrentSlot].SlotLength = fields.EntrySize < kSlotSize ? fields.EntrySize : kSlotSize;
    fields.ReferenceBack = source.NextByte();
    if (fields.ReferenceBack > position.FilesProcessed) source.Fault(RecordFault::ReferenceTooFar);
    fields.ReferencedSlot = &slots[(position.CurrentSlot + kSlotCount - fields.ReferenceBack) % kSlotCount];
    fields.SharedPrefixLength = 0;
    fields.Preset = WindowPreset{0, 0};
    if (fields.ReferenceBack == 0) return;
    fields.SharedPrefixLength = static_cast<std::int32_t>(ReadLittleEndian(source, kSharedPrefixBytes));
    if (fields.SharedPrefixLength > fields.ReferencedSlot->SlotLength || fields.SharedPrefixLength > fields.EntrySize)
        source.Fault(RecordFault::PrefixTooLong);
    fields.Preset = ComputeWindowPreset(fields.ReferencedSlot->SlotLength, fields.SharedPrefixLength);
}

}  // namespace quorvel::format
