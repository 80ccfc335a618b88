// Fuzz target for the packer, checked by the reader: a small tree made from the input
// (folders, files whose contents repeat parts of themselves, files that start from earlier
// ones with the prefix they really share, or with the reference the packer's own chooser
// picks), packed in memory at the effort the input chooses, with or without a password,
// comment and run command, then read back. Every
// entry, time and byte must come back as written, and the records must take the whole
// payload.
//
// Input: effort and option bits (a password, a comment, a run command, the chooser's
// references), then entries until the input ends: a kind byte, a name, and for a file its
// times, its reference and its contents (see MakeContents).

#include <algorithm>

#include "format/archive_format.hpp"
#include "fuzz_target.hpp"
#include "packer/archive_writer.hpp"
#include "packer/entry_writer.hpp"
#include "packer/reference_choice.hpp"
#include "reader/archive_reader.hpp"
#include "support/parts.hpp"

namespace quorvel::fuzz {
namespace {

// A run costs about what its contents cost to pack, so they stay small. At the quick
// efforts a file can still fill its history slot (16384 bytes); the priced efforts cost
// five to ten times as much a byte, and their contents stop a little beyond the reach
// (8192 bytes), which is all their match search and pricing need. Up to 400 entries can
// wrap the history ring. (With up to 200,000 bytes the target made under half as many
// runs and covered no more.)
struct ContentLimits {
    std::size_t file;
    std::size_t total;
};
constexpr ContentLimits kQuickEffortLimits = {17000, 20000};
constexpr ContentLimits kPricedEffortLimits = {10000, 10000};
constexpr int kFirstPricedEffort = 4;
constexpr std::size_t kMaxEntries = 400;

class InputBytes {
public:
    InputBytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Empty() const { return at_ == size_; }
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint32_t Word() { return Byte() | static_cast<std::uint32_t>(Byte()) << 8; }
    std::uint64_t Time() {
        std::uint64_t time = 0;
        for (int i = 0; i < 8; ++i) time |= static_cast<std::uint64_t>(Byte()) << (8 * i);
        return time;
    }
    // The next n bytes, zeros past the end, behind what `out` holds.
    void AppendBytes(Bytes& out, std::size_t n) {
        const std::size_t taken = std::min(n, size_ - at_);
        out.insert(out.end(), data_ + at_, data_ + at_ + taken);
        out.resize(out.size() + (n - taken), 0);
        at_ += taken;
    }
    // Up to maxLength bytes, none of them zero.
    std::string Text(std::size_t maxLength) {
        std::string text;
        for (std::size_t n = Byte() % (maxLength + 1); n > 0 && !Empty(); --n)
            text.push_back(static_cast<char>(Byte() | 0x20));
        return text;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

struct Written {
    reader::EntryKind kind;
    std::string name;
    EntryTimes times;
    EntryReference reference;
    Bytes contents;
};

// Any bytes but zero. A file's name cannot end as a folder's does, and no name starts with
// the prefix mark, which the writer keeps for names it shortens.
std::string MakeName(InputBytes& in, reader::EntryKind kind) {
    std::string name;
    for (std::size_t n = 1 + in.Byte() % 24; n > 0; --n) {
        const std::uint8_t byte = in.Byte();
        name.push_back(byte == 0 ? '\\' : static_cast<char>(byte));
    }
    if (name[0] == kPrefixMark) name[0] = '_';
    if (kind == reader::EntryKind::File && name.ends_with(kFolderSuffix)) name.push_back('_');
    return name;
}

// `start`, then pieces until the length chosen: literal bytes from the input, or a copy of
// bytes already made, as far back and as long as the input says.
Bytes MakeContents(InputBytes& in, Bytes contents, std::size_t maxSize) {
    const std::size_t length = std::min(maxSize, contents.size() + in.Word() % 4000 * (in.Byte() % 8 + 1));
    while (contents.size() < length && !in.Empty()) {
        const std::uint8_t piece = in.Byte();
        if (piece < 0x80 || contents.empty()) {
            in.AppendBytes(contents, piece % 32 + 1);
            continue;
        }
        const std::size_t distance = 1 + in.Word() % contents.size();
        const std::size_t copied = std::min<std::size_t>(2 + (piece & 0x3F) * ((piece & 0x40) ? 64 : 1), length - contents.size());
        const std::size_t at = contents.size();
        contents.resize(at + copied);
        // Byte by byte, so that a copy from nearer than its length repeats what it copies.
        for (std::size_t k = at; k < at + copied; ++k) contents[k] = contents[k - distance];
    }
    return contents;
}

// One file in four starts from one of the last files written and shares a prefix of its
// history. (Each such file has the packer insert its preset, up to 8192 bytes, before it:
// one in two took a third more time and covered no more.)
EntryReference MakeReference(InputBytes& in, const EntryWriter& writer, Bytes& start) {
    const std::uint32_t files = std::min(writer.FileCount(), kMaxReferenceBack);
    if (files == 0 || in.Byte() % 4 != 0) return {};
    const std::uint32_t back = 1 + in.Byte() % files;
    const std::span<const std::uint8_t> history = writer.History(back);
    const std::uint32_t shared = in.Word() % (history.size() + 1);
    start.assign(history.begin(), history.begin() + shared);
    return {back, shared};
}

// The reference the packer itself would choose for the contents; the one the input made up
// only decided how much the file shares with an earlier one.
EntryReference ChooseReference(ReferenceChooser& chooser, const EntryWriter& writer, const Written& entry) {
    const std::string extension = ExtensionOf(entry.name);
    const EntryReference chosen = chooser.Choose(writer, entry.contents, extension);
    chooser.Remember(entry.contents, extension);
    return chosen;
}

// With a chooser, files take the references the packer would choose.
std::vector<Written> Pack(InputBytes& in, EntryWriter& writer, ReferenceChooser* chooser, const ContentLimits& limits) {
    std::vector<Written> written;
    std::size_t total = 0;
    while (!in.Empty() && written.size() < kMaxEntries && total < limits.total) {
        const auto kind = in.Byte() % 4 == 0 ? reader::EntryKind::Folder : reader::EntryKind::File;
        Written& entry = written.emplace_back(Written{kind, MakeName(in, kind), {}, {}, {}});
        if (kind == reader::EntryKind::Folder) {
            writer.AddFolder(entry.name);
            continue;
        }
        entry.times = {in.Time(), in.Time(), in.Time()};
        Bytes start;
        entry.reference = MakeReference(in, writer, start);
        entry.contents = MakeContents(in, std::move(start), limits.file);
        if (chooser != nullptr) entry.reference = ChooseReference(*chooser, writer, entry);
        total += entry.contents.size();
        writer.AddFile(entry.name, entry.times, entry.contents, entry.reference);
    }
    return written;
}

class Collect : public reader::DataSink {
public:
    void Write(std::span<const std::uint8_t> bytes) override { data.insert(data.end(), bytes.begin(), bytes.end()); }
    Bytes data;
};

void ExpectReadBack(const Bytes& file, const ArchiveOptions& options, const std::vector<Written>& written,
                    std::size_t payloadSize) {
    reader::MemorySource source(file);
    const reader::ArchiveHeader header = reader::ReadArchiveHeader(source);
    Expect(header.comment == options.comment && header.runCommand == options.runCommand &&
               header.Scrambled() == !options.password.empty(),
           "the header differs from what was written");
    reader::ArchiveReader archive(source, header, {.password = options.password}, &ProcessDecoderStorage());
    std::uint64_t stored = 0;
    for (const Written& w : written) {
        const reader::Entry* entry = archive.Next();
        Expect(entry != nullptr && entry->kind == w.kind && entry->name == w.name, "an entry's name or kind differs");
        if (w.kind == reader::EntryKind::File) {
            Collect sink;
            archive.ReadData(&sink);
            Expect(entry->times.creation == w.times.creation && entry->times.lastAccess == w.times.lastAccess &&
                       entry->times.lastWrite == w.times.lastWrite,
                   "a file's times differ");
            Expect(entry->referenceBack == w.reference.referenceBack &&
                       entry->sharedPrefix == w.reference.sharedPrefixLength,
                   "a file's reference differs");
            Expect(sink.data == w.contents, "a file's contents differ");
        }
        stored += entry->storedBytes;
    }
    Expect(archive.Next() == nullptr, "the archive holds more entries than were written");
    Expect(stored == payloadSize, "the records do not take the whole payload");
}

}  // namespace

std::vector<Bytes> SeedInputs() {
    const Bytes times(24, 0x11);
    Bytes entries = {0, 2, 'd', 'i', 'r'};  // the folder "dir"
    // "dir\a", 300 bytes: 10 literals, then copies from 10 back.
    entries.insert(entries.end(), {1, 4, 'd', 'i', 'r', 0, 'a'});
    entries.insert(entries.end(), times.begin(), times.end());
    entries.insert(entries.end(), {0x2C, 0x01, 0, 9, 'h', 'e', 'l', 'l', 'o', ' ', 'f', 'u', 'z', 'z', 0xC5, 9, 0});
    // "b", 108 bytes, starting from "dir\a" with 8 bytes shared.
    entries.insert(entries.end(), {1, 0, 'b'});
    entries.insert(entries.end(), times.begin(), times.end());
    entries.insert(entries.end(), {0, 0, 8, 0, 100, 0, 5, '!', '!', '!', '!', '!', '!', 0x85, 2, 0});
    // "c", 760 bytes of one letter.
    entries.insert(entries.end(), {2, 0, 'c'});
    entries.insert(entries.end(), times.begin(), times.end());
    entries.insert(entries.end(), {1, 0xFF, 0x0F, 7, 0, 'q', 0xFF, 0, 0});
    // Effort 6 with a comment; effort 1 with a password, a comment and a run command;
    // effort 9 with the references the packer chooses.
    Bytes commented = {5, 0x02, 5, 'h', 'e', 'l', 'l', 'o'};
    Bytes locked = {0, 0x07, 2, 'p', 'w', 0x5A, 5, 'h', 'e', 'l', 'l', 'o', 1, 'b'};
    Bytes chosen = {8, 0x08};
    for (Bytes* seed : {&commented, &locked, &chosen}) seed->insert(seed->end(), entries.begin(), entries.end());
    return {commented, locked, chosen};
}

}  // namespace quorvel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvel;
    using namespace quorvel::fuzz;
    InputBytes in(data, size);
    const int effort = 1 + in.Byte() % 9;
    const std::uint8_t flags = in.Byte();
    ArchiveOptions options;
    if (flags & 1) {
        options.password = in.Text(16);
        options.passwordFlag = static_cast<std::uint8_t>(in.Byte() | 1);
    }
    if (flags & 2) options.comment = in.Text(40);
    if (flags & 4) options.runCommand = in.Text(40);
    EntryWriter writer(effort);
    ReferenceChooser chooser(effort);
    const ContentLimits& limits = effort < kFirstPricedEffort ? kQuickEffortLimits : kPricedEffortLimits;
    const std::vector<Written> written = Pack(in, writer, (flags & 8) != 0 ? &chooser : nullptr, limits);
    if (written.empty()) return 0;
    Bytes file(StubSize, 0);
    const Bytes archive = BuildArchive(options, writer.Payload());
    file.insert(file.end(), archive.begin(), archive.end());
    ExpectReadBack(file, options, written, writer.Payload().size());
    return 0;
}
