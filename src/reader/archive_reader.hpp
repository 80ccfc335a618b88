// Reads an archive entry by entry, as the Expander would extract it, without writing
// anything: entry records, the history ring across entries, and each file entry's data
// decoded into a sink of the caller's, or decoded and dropped. Every check the Expander
// makes is made here; each failure is an ArchiveError naming the entry, block and offset.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "format/entry_record.hpp"
#include "format/file_time.hpp"
#include "reader/archive_error.hpp"
#include "reader/archive_header.hpp"
#include "reader/block_reader.hpp"
#include "reader/reader_namespace.hpp"

namespace quorvel::decoder {
struct DecoderStorage;
}

namespace quorvel::reader {

enum class EntryKind : std::uint8_t { Folder, File };

struct Entry {
    EntryKind kind = EntryKind::File;
    // As stored: code page bytes, parts separated by backslashes; a folder's without its
    // closing backslash and period.
    std::string name;
    // A name the Expander refuses: it could reach outside the folder extracted into.
    bool unsafe = false;
    // A name longer than the Expander can create (the name holds its first 4096 bytes).
    bool tooLong = false;
    // File entries only.
    EntryTimes times;
    std::uint32_t size = 0;
    std::uint32_t referenceBack = 0;
    std::uint32_t sharedPrefix = 0;
    // Where the record begins, and the payload bytes it takes with its data (known once
    // the data is read).
    std::uint64_t recordOffset = 0;
    std::uint64_t storedBytes = 0;
};

// Receives a file entry's bytes in order, in pieces of up to 40960 bytes (a slide of the
// window hands on 32768, the flush at the entry's end what is left, up to a whole window).
class DataSink {
public:
    virtual ~DataSink() = default;
    virtual void Write(std::span<const std::uint8_t> bytes) = 0;
};

struct ReaderOptions {
    // The password in the archive's code page; needed for a scrambled archive.
    std::string password;
    // The code page the names are stored in: decides where a character ends.
    unsigned codePage = 1252;
    std::uint32_t blocksPerRead = 256;
    // Told how far the file has been read, after each read: for a progress display.
    BlockReader::ReadObserver onRead;
};

class ArchiveReader {
public:
    // Throws ArchiveError WrongPassword when the archive is scrambled and the password does
    // not match. The decoder works in `storage` when given (about 4.3 MB, zeroed when made;
    // it outlives the reader and serves one reader at a time), else in storage of its own.
    // Storage an earlier reader left serves as well as fresh: a read takes nothing from the
    // history ring or the window that it has not put there itself, and starts the trees of
    // every file entry anew.
    ArchiveReader(ByteSource& source, const ArchiveHeader& header, const ReaderOptions& options,
                  DecoderStorage* storage = nullptr);
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    // The next entry, or nullptr after the last. A file entry's data is read with ReadData
    // before the next call; if not, Next decodes and drops it.
    const Entry* Next();
    // Decodes the current file entry's data into sink, or drops it when sink is null.
    void ReadData(DataSink* sink);

    // File bytes read so far.
    std::uint64_t FileBytesRead() const { return blocks_.FileBytesRead(); }

private:
    class Source;
    class Host;
    class Name;
    [[noreturn]] void Fail(ArchiveProblem problem, const std::string& description) const;
    // The error of a read inside a record or data, named by the entry whose name is known.
    [[noreturn]] void FailInEntry(const ArchiveError& error, const std::string& cutShort) const;

    BlockReader blocks_;
    unsigned codePage_;
    std::unique_ptr<DecoderStorage> ownStorage_;  // when the caller lends none
    DecoderStorage* storage_;
    std::unique_ptr<Name> name_;
    RingPosition ring_{};
    FileFields fields_{};
    Entry entry_;
    bool dataPending_ = false;
    std::uint64_t recordPosition_ = 0;
};

}  // namespace quorvel::reader
