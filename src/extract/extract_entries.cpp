// The extraction loop: entry records one after another from the block stream, folders made,
// files written with their times, and each file's first bytes kept in the history ring for
// the files that start from it.
#include "extract/extract_entries.hpp"

#include <cstring>

#include "archive/block_stream.hpp"
#include "console/console.hpp"
#include "console/messages.hpp"
#include "decoder/decode_file_data.hpp"
#include "decoder/decoder_storage.hpp"
#include "format/window_preset.hpp"
#include "extract/archive_host.hpp"
#include "extract/overwrite.hpp"
#include "extract/paths.hpp"

namespace quorvel {
namespace {

constexpr char kPrefixMark = 0x2A;
constexpr int kMinimumPrefix = 2;

struct FileEntry {
    FileTime creationTime;
    FileTime lastAccessTime;
    FileTime lastWriteTime;
    std::int32_t entrySize;
    HistorySlot* referencedSlot;
    std::int32_t sharedPrefixLength;
    WindowPreset preset;
    bool skipOutput;
};

struct RunState {
    Text name;        // the current entry's name, and the previous one for the next entry
    Text folderPath;  // handed to MakeFolders
    std::uint32_t currentSlot;
    std::uint32_t filesProcessed;  // file entries so far, counted up to the ring's size
};

std::uint32_t ReadLittleEndian(int bytes) {
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= static_cast<std::uint32_t>(ArchiveByteReader()) << (8 * i);
    return value;
}

FileTime ReadFileTime() {
    const std::uint32_t low = ReadLittleEndian(4);
    return FileTime{low, ReadLittleEndian(4)};
}

// A plain name, or "*", a count n and the rest: the first n + 2 bytes of the previous name
// (all of it if shorter) followed by the rest.
void ReadEntryName(Text& name) {
    std::uint8_t byte = ArchiveByteReader();
    std::uint32_t kept = 0;
    if (byte == kPrefixMark) {
        kept = ArchiveByteReader() + kMinimumPrefix;
        if (kept > name.length) kept = name.length;
        byte = ArchiveByteReader();
    }
    name.Truncate(kept);
    for (; byte != 0; byte = ArchiveByteReader()) name.Append(static_cast<char>(byte));
}

[[noreturn]] void RefuseUnsafeName(const char* name) {
    WriteText(message::kUnsafePath);
    WriteText(name);
    WriteChar(kBell);
    EndLine();
    EndProgram(2);
}

// The fields in front of the compressed data, each checked as soon as it is read: a size
// of 2^31 or more, a reference to a slot not filled in this run, or a prefix longer than
// the referenced file or this one, cannot be valid.
void ReadFileFields(RunState& run, DecoderStorage& storage, FileEntry& entry) {
    entry.creationTime = ReadFileTime();
    entry.lastAccessTime = ReadFileTime();
    entry.lastWriteTime = ReadFileTime();
    entry.entrySize = static_cast<std::int32_t>(ReadLittleEndian(4));
    if (entry.entrySize < 0) BrokenFileExit();
    HistorySlot* slots = storage.History.Slots;
    slots[run.currentSlot].SlotLength = entry.entrySize < kSlotSize ? entry.entrySize : kSlotSize;
    const std::uint32_t referenceBack = ArchiveByteReader();
    if (referenceBack > run.filesProcessed) BrokenFileExit();
    entry.referencedSlot = &slots[(run.currentSlot + kSlotCount - referenceBack) % kSlotCount];
    entry.sharedPrefixLength = 0;
    entry.preset = WindowPreset{0, 0};
    if (referenceBack != 0) {
        entry.sharedPrefixLength = static_cast<std::int32_t>(ReadLittleEndian(2));
        if (entry.sharedPrefixLength > entry.referencedSlot->SlotLength ||
            entry.sharedPrefixLength > entry.entrySize)
            BrokenFileExit();
        entry.preset = ComputeWindowPreset(entry.referencedSlot->SlotLength, entry.sharedPrefixLength);
    }
}

void ShowProgress(const char* name, bool skipping) {
    if (skipping) {
        WriteText(message::kSkipping);
        WriteText(name);
        EndLine();
        return;
    }
    WriteText(message::kExpanding);
    WriteText(name);
    WriteText(message::kExpandingTail);
    FlushOutput();
}

// Created and registered while interrupts wait, so that an interrupt never leaves the file
// behind, not even empty.
void CreateOutputFile(const char* name, const FileEntry& entry) {
    HoldInterrupts();
    const bool created = CreateForWriting(OutputFile, name);
    if (created) GuardOutputFile(&OutputFile);
    ReleaseInterrupts();
    if (!created) WriteErrorExit();
    const auto prefixLength = static_cast<std::uint32_t>(entry.sharedPrefixLength);
    if (prefixLength != 0 && !WriteExact(OutputFile, entry.referencedSlot->SlotData, prefixLength))
        WriteErrorExit();
}

// Once its times are set the file is complete: an interrupt from then on leaves it.
void FinishOutputFile(const FileEntry& entry) {
    if (!SetTimes(OutputFile, entry.creationTime, entry.lastAccessTime, entry.lastWriteTime))
        WriteErrorExit();
    GuardOutputFile(nullptr);
    if (!CloseFile(OutputFile)) WriteErrorExit();
    WriteText(message::kEnd);
    EndLine();
}

void ExtractFile(RunState& run, DecoderStorage& storage) {
    FileEntry entry;
    ReadFileFields(run, storage, entry);
    const char* name = run.name.CStr();
    entry.skipOutput = AskOverwrite(name);
    ShowProgress(name, entry.skipOutput);
    DirectoryPart(name, run.folderPath);
    MakeFolders(run.folderPath);
    if (!entry.skipOutput) CreateOutputFile(name, entry);

    HistorySlot& slot = storage.History.Slots[run.currentSlot];
    const HistorySlot& referenced = *entry.referencedSlot;
    std::memmove(slot.SlotData, referenced.SlotData, static_cast<std::uint32_t>(entry.sharedPrefixLength));
    std::memcpy(storage.Window.Bytes, referenced.SlotData + entry.preset.PresetStart,
                static_cast<std::uint32_t>(entry.preset.PresetLength));
    StartWindow(storage.Window, entry.preset.PresetLength, entry.sharedPrefixLength, &slot, entry.skipOutput);

    ArchiveHost host;
    DecodeFileData(storage, host, entry.entrySize - entry.sharedPrefixLength);
    if (!entry.skipOutput) {
        FlushWindow(storage.Window, host);
        FinishOutputFile(entry);
    }
    run.currentSlot = (run.currentSlot + 1) % kSlotCount;
    if (run.filesProcessed < kSlotCount) ++run.filesProcessed;
}

void ExtractEntry(RunState& run, DecoderStorage& storage) {
    ReadEntryName(run.name);
    if (run.name.length == 0) BrokenFileExit();
    if (IsUnsafeName(run.name.CStr())) RefuseUnsafeName(run.name.CStr());
    if (!IsFolderEntry(run.name)) return ExtractFile(run, storage);
    // The folder's name less its final period, so that it ends in the backslash.
    run.folderPath.Clear();
    for (std::uint32_t i = 0; i + 1 < run.name.length; ++i) run.folderPath.Append(run.name.bytes[i]);
    MakeFolders(run.folderPath);
}

}  // namespace

void ExtractEntries() {
    // Set aside once for the whole run, in this frame: the history ring, the window and the
    // trees (about 4.3 MB; the program reserves a stack large enough for it).
    DecoderStorage storage;
    RunState run{};
    EndOfArchive = false;
    while (!EndOfArchive) ExtractEntry(run, storage);
    if (!CloseFile(ArchiveFile)) ReadErrorExit();
}

}  // namespace quorvel
