#include "reader/archive_reader.hpp"

#include "decoder/decode_file_data.hpp"
#include "decoder/decoder_storage.hpp"
#include "decoder/file_entry.hpp"
#include "format/code_pages.hpp"
#include "format/entry_names.hpp"
#include "reader/reader_namespace.hpp"

namespace quorvel::reader {

// The name being read: its first bytes only, enough for every later name that repeats a
// prefix of it, so that a hostile name cannot take unbounded memory.
class ArchiveReader::Name {
public:
    static constexpr std::size_t kKept = 4096;

    std::uint32_t Length() const { return static_cast<std::uint32_t>(bytes_.size()); }
    void Truncate(std::uint32_t n) {
        bytes_.resize(n);
        fullLength_ = n;
    }
    void Append(char c) {
        if (bytes_.size() < kKept) bytes_.push_back(c);
        ++fullLength_;
    }
    const std::string& Bytes() const { return bytes_; }
    std::uint64_t FullLength() const { return fullLength_; }

private:
    std::string bytes_;
    std::uint64_t fullLength_ = 0;
};

// Record bytes from the block stream; faults become errors at the record's start.
class ArchiveReader::Source {
public:
    explicit Source(ArchiveReader& reader) : reader_(reader) {}
    std::uint8_t NextByte() { return reader_.blocks_.NextByte(); }
    [[noreturn]] void Fault(RecordFault fault) {
        switch (fault) {
            case RecordFault::EmptyName: reader_.Fail(ArchiveProblem::BrokenRecord, "an entry has an empty name");
            case RecordFault::SizeTooLarge: reader_.Fail(ArchiveProblem::BrokenRecord, "the entry size is 2^31 or more");
            case RecordFault::ReferenceTooFar:
                reader_.Fail(ArchiveProblem::BrokenRecord, "the entry refers to a file entry before the first");
            case RecordFault::PrefixTooLong: break;
        }
        reader_.Fail(ArchiveProblem::BrokenRecord, "the shared prefix is longer than the referenced file or this one");
    }

private:
    ArchiveReader& reader_;
};

// The decoder's view of the block stream, with output to the caller's sink.
class ArchiveReader::Host {
public:
    Host(ArchiveReader& reader, DataSink* sink) : reader_(reader), sink_(sink) {}
    std::uint8_t NextByte() { return reader_.blocks_.NextByte(); }
    std::uint32_t Contiguous(const std::uint8_t*& bytes) {
        const std::span<const std::uint8_t> lendable = reader_.blocks_.Lendable();
        bytes = lendable.data();
        return static_cast<std::uint32_t>(std::min<std::size_t>(lendable.size(), 1u << 30));
    }
    void Consume(std::uint32_t n) { reader_.blocks_.Consume(n); }
    void GiveBack(std::uint32_t n) { reader_.blocks_.GiveBack(n); }
    void WriteOutput(const std::uint8_t* bytes, std::uint32_t n) {
        if (sink_ != nullptr) sink_->Write({bytes, n});
    }
    [[noreturn]] void Broken() { reader_.Fail(ArchiveProblem::BrokenData, "the compressed data is broken"); }

private:
    ArchiveReader& reader_;
    DataSink* sink_;
};

ArchiveReader::ArchiveReader(ByteSource& source, const ArchiveHeader& header, const ReaderOptions& options,
                             DecoderStorage* storage)
    : blocks_(source, header.payloadOffset, header.Scrambled() ? options.password : std::string(),
              options.blocksPerRead, options.onRead),
      codePage_(options.codePage),
      ownStorage_(storage == nullptr ? std::make_unique<DecoderStorage>() : nullptr),
      storage_(storage == nullptr ? ownStorage_.get() : storage),
      name_(std::make_unique<Name>()) {
    if (!PasswordMatches(header, options.password))
        throw ArchiveError(ArchiveProblem::WrongPassword,
                           options.password.empty() ? "the archive is scrambled: a password is needed"
                                                    : "the password is wrong");
}

ArchiveReader::~ArchiveReader() = default;

void ArchiveReader::Fail(ArchiveProblem problem, const std::string& description) const {
    ProblemPlace place;
    if (name_->Length() != 0 && problem != ArchiveProblem::BrokenRecord) place.entryName = name_->Bytes();
    // Record faults are placed at the record's start, everything else where reading stopped.
    const std::uint64_t position = problem == ArchiveProblem::BrokenRecord ? recordPosition_ : blocks_.Position();
    place.block = blocks_.BlockOf(position);
    place.offset = blocks_.FileOffsetOf(position);
    throw ArchiveError(problem, description, place);
}

void ArchiveReader::FailInEntry(const ArchiveError& error, const std::string& cutShort) const {
    if (error.problem() == ArchiveProblem::CutShort) Fail(ArchiveProblem::CutShort, cutShort);
    if (error.place().entryName) throw error;
    ProblemPlace place = error.place();
    place.entryName = name_->Bytes();
    throw ArchiveError(error.problem(), error.description(), place);
}

const Entry* ArchiveReader::Next() {
    if (dataPending_) ReadData(nullptr);
    if (blocks_.AtEnd()) return nullptr;
    recordPosition_ = blocks_.Position();
    Source source(*this);
    try {
        ReadEntryName(source, *name_);
    } catch (const ArchiveError& error) {
        if (error.problem() != ArchiveProblem::CutShort) throw;
        Fail(ArchiveProblem::CutShort, "the archive ends inside an entry record");
    }
    const std::string& name = name_->Bytes();
    entry_ = Entry{};
    entry_.recordOffset = blocks_.FileOffsetOf(recordPosition_);
    entry_.tooLong = name_->FullLength() > kMaxNameLength;
    entry_.unsafe = IsUnsafeName(name.c_str(), [this](const char* at) { return NextCharIn(at, codePage_); });
    if (IsFolderEntry(*name_, name.data())) {
        entry_.kind = EntryKind::Folder;
        entry_.name = name.substr(0, name.size() - 2);
        entry_.storedBytes = blocks_.Position() - recordPosition_;
        return &entry_;
    }
    entry_.name = name;
    try {
        ReadFileFields(source, storage_->History, ring_, fields_);
    } catch (const ArchiveError& error) {
        if (error.problem() == ArchiveProblem::BrokenRecord) throw;
        FailInEntry(error, "the archive ends inside an entry record");
    }
    entry_.times = {FileTimeValue(fields_.CreationTime), FileTimeValue(fields_.LastAccessTime),
                    FileTimeValue(fields_.LastWriteTime)};
    entry_.size = static_cast<std::uint32_t>(fields_.EntrySize);
    entry_.referenceBack = fields_.ReferenceBack;
    entry_.sharedPrefix = static_cast<std::uint32_t>(fields_.SharedPrefixLength);
    dataPending_ = true;
    return &entry_;
}

void ArchiveReader::ReadData(DataSink* sink) {
    if (!dataPending_) return;
    dataPending_ = false;
    StartFileEntry(*storage_, fields_, ring_.CurrentSlot, sink == nullptr);
    if (sink != nullptr && fields_.SharedPrefixLength != 0)
        sink->Write({fields_.ReferencedSlot->SlotData, static_cast<std::size_t>(fields_.SharedPrefixLength)});
    Host host(*this, sink);
    try {
        DecodeFileData(*storage_, host, fields_.EntrySize - fields_.SharedPrefixLength);
    } catch (const ArchiveError& error) {
        FailInEntry(error, "the archive ends inside the entry's data");
    }
    FlushWindow(storage_->Window, host);
    ring_.Advance();
    entry_.storedBytes = blocks_.Position() - recordPosition_;
}

}  // namespace quorvel::reader
