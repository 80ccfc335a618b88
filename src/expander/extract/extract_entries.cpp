// The extraction loop: entry records one after another from the block stream, folders made,
// files written with their times, and each file's first bytes kept in the history ring for
// the files that start from it.
#include "expander/extract/extract_entries.hpp"

#include "decoder/decoder_storage.hpp"
#include "decoder/file_entry.hpp"
#include "expander/archive/block_stream.hpp"
#include "expander/console/console.hpp"
#include "expander/console/messages.hpp"
#include "expander/expander_namespace.hpp"
#include "expander/extract/decode_entry.hpp"
#include "expander/extract/overwrite.hpp"
#include "expander/extract/paths.hpp"
#include "format/entry_names.hpp"
#include "format/entry_record.hpp"

namespace quorvel::expander {
namespace {

struct RunState {
    Text name;        // the current entry's name, and the previous one for the next entry
    Text folderPath;  // handed to MakeFolders
    Text madeFolders;  // the path MakeFolders was last given, every folder along it there
    RingPosition ring;
};

// Record bytes from the block stream; a record that cannot be valid breaks the file.
struct RecordBytes {
    std::uint8_t NextByte() { return ArchiveByteReader(); }
    [[noreturn]] void Fault(RecordFault) { BrokenFileExit(); }
};

// Consecutive entries usually share their folder, or the folders above it, which the entry
// before has entered already and still holds; only the parts that differ are walked.
bool MakeFoldersOnce(RunState& run) {
    Text& path = run.folderPath;
    Text& made = run.madeFolders;
    bool same = path.length == made.length;
    for (std::uint32_t i = 0; same && i < path.length; ++i) same = path.bytes[i] == made.bytes[i];
    if (same) return true;
    if (!MakeFolders(path, made)) return false;
    made.Clear();
    for (std::uint32_t i = 0; i < path.length; ++i) made.Append(path.bytes[i]);
    return true;
}

[[noreturn]] void RefuseUnsafeName(const char* name) {
    WriteText(message::kUnsafePath);
    WriteName(name);
    WriteChar(kBell);
    EndLine();
    EndProgram(kExitFailed);
}

void ShowProgress(const char* name, bool skipping) {
    if (skipping) {
        WriteText(message::kSkipping);
        WriteName(name);
        EndLine();
        return;
    }
    WriteText(message::kExpanding);
    WriteName(name);
    WriteText(message::kExpandingTail);
    FlushOutput();
}

// Created and registered while interrupts wait, so that an interrupt never leaves the file
// behind, not even empty.
bool CreateOutputFile(const char* name, const char* leaf, bool replace) {
    HoldInterrupts();
    const bool created = CreateForWriting(OutputFile, name, leaf, replace);
    if (created) GuardOutputFile(&OutputFile);
    ReleaseInterrupts();
    return created;
}

// Once its times are set the file is complete: an interrupt from then on leaves it.
void FinishOutputFile(const FileFields& entry, const HistorySlot& firstBytes) {
    KeepExecutable(OutputFile, firstBytes.SlotData, firstBytes.SlotLength);
    if (!SetTimes(OutputFile, entry.CreationTime, entry.LastAccessTime, entry.LastWriteTime))
        WriteErrorExit();
    GuardOutputFile(nullptr);
    if (!CloseFile(OutputFile)) WriteErrorExit();
    WriteText(message::kEnd);
    EndLine();
}

// The folders come first, so that the name is looked up in the folder that holds it; a
// folder that cannot be made is reported where it would be once the progress line is out.
void ExtractFile(RunState& run, DecoderStorage& storage) {
    FileFields entry;
    RecordBytes record;
    ReadFileFields(record, storage.History, run.ring, entry);
    const char* name = run.name.CStr();
    DirectoryPart(name, run.folderPath);
    const char* leaf = name + run.folderPath.length;
    const bool foldersMade = MakeFoldersOnce(run);
    // Made at once where nothing stands at the name; only where that fails is the name looked
    // at, and the user asked about what stands there.
    const bool created = foldersMade && CreateOutputFile(name, leaf, false);
    const Overwrite choice = foldersMade && !created ? AskOverwrite(name, leaf) : Overwrite::Create;
    const bool skipOutput = choice == Overwrite::Skip;
    ShowProgress(name, skipOutput);
    if (!foldersMade) CannotMakeFolder(run.folderPath.CStr());
    if (!skipOutput) {
        if (!created && !CreateOutputFile(name, leaf, choice == Overwrite::Replace)) WriteErrorExit();
        const auto prefixLength = static_cast<std::uint32_t>(entry.SharedPrefixLength);
        if (prefixLength != 0 && !WriteExact(OutputFile, entry.ReferencedSlot->SlotData, prefixLength))
            WriteErrorExit();
    }
    StartFileEntry(storage, entry, run.ring.CurrentSlot, skipOutput);

    DecodeEntryData(storage, entry.EntrySize - entry.SharedPrefixLength, skipOutput);
    if (!skipOutput) FinishOutputFile(entry, storage.History.Slots[run.ring.CurrentSlot]);
    run.ring.Advance();
}

void ExtractEntry(RunState& run, DecoderStorage& storage) {
    RecordBytes record;
    ReadEntryName(record, run.name);
    if (IsUnsafeName(run.name.CStr(), NextChar)) RefuseUnsafeName(run.name.CStr());
    if (!IsFolderEntry(run.name, run.name.bytes)) return ExtractFile(run, storage);
    // The folder's name less its final period, so that it ends in the separator.
    run.folderPath.Clear();
    for (std::uint32_t i = 0; i + 1 < run.name.length; ++i) run.folderPath.Append(run.name.bytes[i]);
    if (!MakeFoldersOnce(run)) CannotMakeFolder(run.folderPath.CStr());
}

}  // namespace

void ExtractEntries() {
    // Set aside once for the whole run, in this frame: the history ring, the window and the
    // trees (about 4.3 MB; the program reserves a stack large enough for it).
#ifdef QUORVEL_STORAGE_OUTSIDE_THE_STACK
    // Under the fuzzer, which runs the Expander once per input: every exit throws through
    // this frame, and the sanitizer clears the shadow of the whole stack at each throw. The
    // names' buffers, which the process's end would free, are taken over emptied by the next
    // run there rather than left behind by every run.
    static DecoderStorage storage;
    static RunState run;
    run.name.Clear();
    run.folderPath.Clear();
    run.madeFolders.Clear();
    run.ring = {};
#else
    DecoderStorage storage;
    RunState run{};
#endif
    storage.FirstTreeBuilt = false;
    EndOfArchive = false;
    LeaveFolders();
    while (!EndOfArchive) ExtractEntry(run, storage);
    LeaveFolders();
    if (!CloseFile(ArchiveFile)) ReadErrorExit();
}

}  // namespace quorvel::expander
