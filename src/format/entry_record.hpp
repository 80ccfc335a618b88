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
    std::uint32_t currentSlot;
    std::uint32_t filesProcessed;

    void Advance() {
        currentSlot = (currentSlot + 1) % kSlotCount;
        if (filesProcessed < kSlotCount) ++filesProcessed;
    }
};

struct FileFields {
    FileTime creationTime;
    FileTime lastAccessTime;
    FileTime lastWriteTime;
    std::int32_t entrySize;
    std::uint32_t referenceBack;
    HistorySlot* referencedSlot;
    std::int32_t sharedPrefixLength;
    WindowPreset preset;
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
    fields.creationTime = ReadFileTime(source);
    fields.lastAccessTime = ReadFileTime(source);
    fields.lastWriteTime = ReadFileTime(source);
    fields.entrySize = static_cast<std::int32_t>(ReadLittleEndian(source, kEntrySizeBytes));
    if (fields.entrySize < 0) source.Fault(RecordFault::SizeTooLarge);
    HistorySlot* slots = ring.Slots;
    slots[position.currentSlot].SlotLength = fields.entrySize < kSlotSize ? fields.entrySize : kSlotSize;
    fields.referenceBack = source.NextByte();
    if (fields.referenceBack > position.filesProcessed) source.Fault(RecordFault::ReferenceTooFar);
    fields.referencedSlot = &slots[(position.currentSlot + kSlotCount - fields.referenceBack) % kSlotCount];
    fields.sharedPrefixLength = 0;
    fields.preset = WindowPreset{0, 0};
    if (fields.referenceBack == 0) return;
    fields.sharedPrefixLength = static_cast<std::int32_t>(ReadLittleEndian(source, kSharedPrefixBytes));
    if (fields.sharedPrefixLength > fields.referencedSlot->SlotLength || fields.sharedPrefixLength > fields.entrySize)
        source.Fault(RecordFault::PrefixTooLong);
    fields.preset = ComputeWindowPreset(fields.referencedSlot->SlotLength, fields.sharedPrefixLength);
}

}  // namespace quorvel::format
