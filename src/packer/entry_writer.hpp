// Writes the entry record stream of an archive's payload: folder entries, file entries with
// their times, size, reference to an earlier file and compressed data. It keeps the same
// model of the history ring that the Expander keeps, so that a file can start from any of
// the last 255 files.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "format/file_time.hpp"
#include "packer/compress_progress.hpp"
#include "packer/item_encoder.hpp"
#include "packer/packer_namespace.hpp"

namespace quorvel::packer {

// Which earlier file a file starts from: referenceBack file entries back (0 for none),
// sharing its first sharedPrefixLength bytes.
struct EntryReference {
    std::uint32_t referenceBack = 0;
    std::uint32_t sharedPrefixLength = 0;
};

// The fields of a file entry as stored, for records built by hand (tests of invalid data).
struct RawFileEntry {
    std::string name;
    EntryTimes times;
    std::uint32_t entrySize = 0;
    EntryReference reference;
    std::vector<std::uint8_t> compressedData;
};

// A reference and the window preset it gives.
struct ReferenceWithPreset {
    EntryReference reference;
    std::vector<std::uint8_t> preset;
};
// Chooses a file's reference from its contents, with all it needs of earlier files taken
// along, so that it can run on any thread.
using DeferredReference = std::function<ReferenceWithPreset(std::span<const std::uint8_t> contents)>;

// Contents lent rather than held, such as a large file mapped into memory: read through
// `bytes` for as long as `owner` is kept. `passed`, when set, is told bytes [from, to) that a
// pass over them has left behind, so that the lender can let go of them (from any thread of
// the compression, perhaps two at once); `checkRead`, when
// set, is called once they have been read for the last time, and throws if they could not
// be read as they were.
struct LentContents {
    std::span<const std::uint8_t> bytes;
    std::shared_ptr<const void> owner;
    std::function<void(std::size_t from, std::size_t to)> passed;
    std::function<void()> checkRead;
};

// A file entry ready to be compressed: its record's fields, its contents and the window
// preset its data starts from. Compressing needs nothing else, so it can run apart from
// the writer, on another thread, while later files are prepared.
struct PreparedFile {
    RawFileEntry entry;  // compressedData empty until Compress
    std::vector<std::uint8_t> contents;
    std::vector<std::uint8_t> preset;
    CompressProgress progress = {};  // told the contents' bytes done, the shared prefix counted
    // When set (on a file prepared without a reference), Compress first chooses the
    // reference and the preset with it.
    DeferredReference chooseReference = {};
    LentContents lent = {};  // the contents, when they are lent rather than in `contents`
    // When set, Compress hands the data here in pieces as they are made, and only its last
    // bytes end up in entry.compressedData.
    ItemEncoder::PieceSink dataPieces = {};

    bool IsLent() const { return lent.owner != nullptr; }
    std::span<const std::uint8_t> Contents() const { return IsLent() ? lent.bytes : contents; }
    // With `twoThreads`, a large file is parsed on two threads.
    void Compress(int effort, bool twoThreads = false);
};

class EntryWriter {
public:
    explicit EntryWriter(int effort = 6) : effort_(effort) {}

    // A folder entry for the folder name (without the closing backslash and period).
    void AddFolder(const std::string& name);
    // A file entry whose contents are compressed here, starting from the referenced file.
    void AddFile(const std::string& name, const EntryTimes& times, std::span<const std::uint8_t> contents,
                 EntryReference reference = {});
    // The same in two steps: the file is checked and takes its place in the history ring
    // at once, so later files can refer to it, and is written once compressed, after every
    // entry added before it.
    PreparedFile PrepareFile(const std::string& name, const EntryTimes& times, std::vector<std::uint8_t> contents,
                             EntryReference reference);
    // The same for contents lent rather than handed over.
    PreparedFile PrepareLentFile(const std::string& name, const EntryTimes& times, LentContents contents,
                                 EntryReference reference);
    void AddPreparedFile(const PreparedFile& file);
    // A file entry written in parts: its record without the data, then the data as it comes.
    void AddFileRecordHead(const RawFileEntry& entry);
    void AddFileData(std::span<const std::uint8_t> data);
    // A file entry exactly as given; the ring model follows only when contents are given.
    void AddRawFile(const RawFileEntry& entry, std::span<const std::uint8_t> contents = {});
    // A name written as stored, with nothing behind it.
    void AddRawName(const std::string& name);

    // The first bytes (up to 16384) of the file entry referenceBack entries back (1..255).
    std::span<const std::uint8_t> History(std::uint32_t referenceBack) const;
    // The same bytes, kept for as long as the caller holds them.
    std::shared_ptr<const std::vector<std::uint8_t>> SharedHistory(std::uint32_t referenceBack) const;
    std::uint32_t FileCount() const { return fileCount_; }
    const std::vector<std::uint8_t>& Payload() const { return payload_; }
    // The payload written since the last call, handed over and forgotten here.
    std::vector<std::uint8_t> TakePayload() { return std::exchange(payload_, {}); }

private:
    PreparedFile Prepare(const std::string& name, const EntryTimes& times, std::span<const std::uint8_t> contents,
                         EntryReference reference);
    void PutName(const std::string& name);
    void PutFileRecord(const RawFileEntry& entry);
    void Remember(std::span<const std::uint8_t> contents);

    int effort_;
    std::string previousName_;
    // Newest first, at most 255; shared with the reference choices still to be made.
    std::deque<std::shared_ptr<const std::vector<std::uint8_t>>> history_;
    std::uint32_t fileCount_ = 0;
    std::vector<std::uint8_t> payload_;
};

// The bytes of a referenced file's history that preload the window of a file sharing its
// first sharedPrefixLength bytes.
std::span<const std::uint8_t> PresetBytes(std::span<const std::uint8_t> history, std::size_t sharedPrefixLength);

// The shortest stored form of a name after the previous one: "*", n, the rest, when the
// names share more than two leading bytes; else the plain name.
std::vector<std::uint8_t> EncodeEntryName(const std::string& previous, const std::string& name);

}  // namespace quorvel::packer
