// The reader against archives the entry writer made: every entry comes back as written,
// whatever the size of its reads; every damage is reported with its block and offset.
#include <gtest/gtest.h>

#include "decoder/decoder_storage.hpp"
#include "format/archive_format.hpp"
#include "packer/archive_writer.hpp"
#include "packer/entry_writer.hpp"
#include "packer/item.hpp"
#include "packer/item_encoder.hpp"
#include "reader/archive_reader.hpp"
#include "support/archive_fixture.hpp"
#include "support/parts.hpp"

namespace quorvel::test {
namespace {

using reader::ArchiveError;
using reader::ArchiveProblem;

// What the writer was given, in order: folders end in "\".
struct Written {
    std::string name;
    Bytes contents;
};

struct ReadBack {
    std::vector<Written> entries;
    std::vector<reader::Entry> records;
    std::uint64_t storedTotal = 0;
};

class Collect : public reader::DataSink {
public:
    void Write(std::span<const std::uint8_t> bytes) override { bytes_.insert(bytes_.end(), bytes.begin(), bytes.end()); }
    Bytes bytes_;
};

Bytes SelfExtractor(const EntryWriter& entries, const ArchiveOptions& options = {}) {
    Bytes file(StubSize, 0);
    const Bytes archive = Archive(entries, options);
    file.insert(file.end(), archive.begin(), archive.end());
    return file;
}

ReadBack ReadAll(const Bytes& file, const std::string& password = "", std::uint32_t blocksPerRead = 256,
                 DecoderStorage* storage = nullptr) {
    reader::MemorySource source(file);
    const reader::ArchiveHeader header = reader::ReadArchiveHeader(source);
    reader::ArchiveReader archive(source, header, {.password = password, .codePage = 1252, .blocksPerRead = blocksPerRead},
                                  storage);
    ReadBack back;
    while (const reader::Entry* entry = archive.Next()) {
        Collect sink;
        if (entry->kind == reader::EntryKind::File) archive.ReadData(&sink);
        back.entries.push_back({entry->name + (entry->kind == reader::EntryKind::Folder ? "\\" : ""), sink.bytes_});
        back.records.push_back(*entry);
        back.storedTotal += entry->storedBytes;
    }
    return back;
}

// Folders, empty and large files, references near and far, and more files than the ring
// holds, so that it wraps.
struct Sample {
    EntryWriter writer;
    std::vector<Written> written;

    Sample() {
        const EntryTimes times{1, 2, 3};
        auto file = [&](const std::string& name, Bytes contents, EntryReference reference = {}) {
            writer.AddFile(name, times, contents, reference);
            written.push_back({name, std::move(contents)});
        };
        writer.AddFolder("top\\empty");
        written.push_back({"top\\empty\\", {}});
        file("top\\big.txt", WordBytes(100000, 1));
        file("top\\zero", {});
        Bytes near = WordBytes(30000, 1);
        near[20000] ^= 1;
        file("top\\near.txt", near, {2, 16384});
        for (int i = 0; i < 300; ++i) file("many\\f" + std::to_string(i), WordBytes(50 + i, 10 + i));
        Bytes last = written[written.size() - 255].contents;
        const std::uint32_t shared = static_cast<std::uint32_t>(last.size());
        last.insert(last.end(), {'e', 'n', 'd'});
        file("last", last, {255, shared});
    }
};

TEST(Reader, GivesBackEveryEntryWhateverTheReadSize) {
    Sample sample;
    const Bytes file = SelfExtractor(sample.writer, {.comment = "note", .runCommand = "top\\big.txt"});
    for (std::uint32_t blocksPerRead : {1u, 3u, 256u}) {
        const ReadBack back = ReadAll(file, "", blocksPerRead);
        ASSERT_EQ(back.entries.size(), sample.written.size());
        for (std::size_t i = 0; i < back.entries.size(); ++i) {
            EXPECT_EQ(back.entries[i].name, sample.written[i].name);
            EXPECT_TRUE(back.entries[i].contents == sample.written[i].contents) << back.entries[i].name;
        }
        EXPECT_EQ(back.storedTotal, sample.writer.Payload().size());
    }
    const ReadBack back = ReadAll(file);
    EXPECT_EQ(back.records[3].referenceBack, 2u);
    EXPECT_EQ(back.records[3].sharedPrefix, 16384u);
    EXPECT_EQ(back.records[3].times.lastWrite, 3u);
    reader::MemorySource source(file);
    const reader::ArchiveHeader header = reader::ReadArchiveHeader(source);
    EXPECT_EQ(header.comment, "note");
    EXPECT_EQ(header.runCommand, "top\\big.txt");
    EXPECT_EQ(header.stub, StubKind::Unknown);
}

TEST(Reader, ScrambledArchiveNeedsItsPassword) {
    Sample sample;
    const Bytes file = SelfExtractor(sample.writer, {.password = "Open Sesame", .passwordFlag = 0x91});
    EXPECT_EQ(ReadAll(file, "Open Sesame").entries.size(), sample.written.size());
    for (const std::string wrong : {"", "open sesame"}) {
        try {
            ReadAll(file, wrong);
            ADD_FAILURE() << "accepted " << wrong;
        } catch (const ArchiveError& error) {
            EXPECT_EQ(error.problem(), ArchiveProblem::WrongPassword);
        }
    }
}

ArchiveError ErrorOf(const Bytes& file, DecoderStorage* storage = nullptr) {
    try {
        ReadAll(file, "", 256, storage);
    } catch (const ArchiveError& error) {
        return error;
    }
    ADD_FAILURE() << "no error";
    return ArchiveError(ArchiveProblem::Unreadable, "none");
}

// The total size field patched to the file's length, as a file cut by its maker would be.
Bytes WithTotalSize(Bytes file) {
    PatchTotalSize(std::span(file).subspan(StubSize), file.size());
    return file;
}

TEST(Reader, DamageIsNamedWithItsBlockAndOffset) {
    Sample sample;
    const Bytes file = SelfExtractor(sample.writer);
    const std::uint64_t payload = StubSize + 7;  // total size, two empty texts, no password
    const std::uint64_t blocks = (file.size() - payload + kBlockSize - 1) / kBlockSize;
    // The entry a block begins in: the last whose record starts at or before it. The error
    // names it once its name is read, whichever blocks were read ahead with it.
    const std::vector<reader::Entry> records = ReadAll(file).records;
    std::uint64_t named = 0;
    for (std::uint64_t block = 0; block < blocks; ++block) {
        Bytes damaged = file;
        const std::uint64_t start = payload + block * kBlockSize;
        damaged[start + (block * 37) % 4000] ^= 0x10;
        const ArchiveError error = ErrorOf(damaged);
        EXPECT_EQ(error.problem(), ArchiveProblem::BrokenBlock) << error.what();
        EXPECT_EQ(error.place().block, block);
        EXPECT_EQ(error.place().offset, start);
        const auto after = std::find_if(records.begin(), records.end(), [&](const reader::Entry& e) { return e.recordOffset > start; });
        if (error.place().entryName) {
            ++named;
            EXPECT_EQ(*error.place().entryName, std::prev(after)->name) << "block " << block;
        }
    }
    EXPECT_GT(named, blocks / 2);
    // The same archive behind the native Expander: only behind a program is a wrong length
    // a damaged archive; behind anything else it is no archive at all.
    const Bytes native = StubBytes(Build::Native);
    Bytes behindNative = native;
    behindNative.insert(behindNative.end(), file.begin() + StubSize, file.end());
    Bytes impossibleSize = behindNative;
    PatchTotalSize(std::span(impossibleSize).subspan(StubSize), 20486);
    struct Case {
        Bytes file;
        ArchiveProblem problem;
    };
    const Case cases[] = {
        {Bytes(100, 0), ArchiveProblem::NotAnArchive},
        {Bytes(StubSize, 0), ArchiveProblem::NotAnArchive},
        {native, ArchiveProblem::BareStub},
        {Bytes(behindNative.begin(), behindNative.end() - 1), ArchiveProblem::Smaller},
        {[&] { Bytes longer = behindNative; longer.push_back(0); return longer; }(), ArchiveProblem::Larger},
        {impossibleSize, ArchiveProblem::NotAnArchive},
        {Bytes(file.begin(), file.end() - 1), ArchiveProblem::NotAnArchive},
        {[&] { Bytes longer = file; longer.push_back(0); return longer; }(), ArchiveProblem::NotAnArchive},
        {Bytes(behindNative.begin(), behindNative.begin() + StubSize + 2), ArchiveProblem::CutShort},
        {WithTotalSize(Bytes(file.begin(), file.begin() + StubSize + 5)), ArchiveProblem::CutShort},
        {WithTotalSize(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(payload + 3 * kBlockSize))),
         ArchiveProblem::CutShort},
    };
    for (const Case& c : cases) EXPECT_EQ(ErrorOf(c.file).problem(), c.problem) << ErrorOf(c.file).what();
}

// The program in front: the built Expanders are whole programs of their kind; the first
// 20480 bytes of a larger program, or of anything else, are none.
TEST(Reader, TellsAWholeProgramInFront) {
    const auto front = [](const Bytes& bytes) {
        reader::MemorySource source(bytes);
        return reader::ReadArchiveFront(source);
    };
    Bytes system = ReadBytes("/bin/ls");
    ASSERT_GT(system.size(), static_cast<std::size_t>(StubSize));
    const Bytes native = StubBytes(Build::Native);
    Bytes cutOff = native;  // its section headers moved past the 20480 bytes
    cutOff[0x29] = 0xFF;
    const struct {
        const char* name;
        Bytes bytes;
        bool program;
        StubKind stub;
    } cases[] = {
        {"native", native, true, StubKind::NativeX86_64},
        {"windows", ReadBytes(std::string(QUORVEL_STUB_DIR) + "/expander.exe"), true, StubKind::WindowsI686},
        {"/bin/ls", system, false, StubKind::Unknown},
        {"cut off", cutOff, false, StubKind::Unknown},
        {"zeros", Bytes(StubSize + 10, 0), false, StubKind::Unknown},
        {"text", WordBytes(StubSize + 10, 1), false, StubKind::Unknown},
    };
    for (const auto& c : cases) {
        const reader::ArchiveFront got = front(c.bytes);
        EXPECT_EQ(got.program, c.program) << c.name;
        EXPECT_EQ(got.stub, c.stub) << c.name;
        EXPECT_EQ(got.fileSize, c.bytes.size()) << c.name;
    }
}

// One storage lent to reader after reader, the ring wrapped, a read broken off in a file's
// data, files that start from earlier ones: each read is what a reader of its own gives.
TEST(Reader, LentStorageServesReaderAfterReader) {
    Sample sample;
    const Bytes plain = SelfExtractor(sample.writer);
    const Bytes locked = SelfExtractor(sample.writer, {.password = "pw", .passwordFlag = 0x91});
    EntryWriter referring;
    referring.AddFile("a", {}, WordBytes(20000, 3));
    referring.AddFile("b", {}, WordBytes(9000, 3), {1, 9000});
    Bytes third = WordBytes(12000, 3);
    third[10000] ^= 1;
    referring.AddFile("c", {}, third, {2, 8000});
    const Bytes small = SelfExtractor(referring);
    referring.AddRawFile({"d", {}, 2, {}, EncodeItems(std::vector{MatchItem(2, 5)})});
    const Bytes broken = SelfExtractor(referring);

    const auto storage = std::make_unique<DecoderStorage>();
    auto expectAsFresh = [&](const Bytes& file, const std::string& password) {
        const ReadBack lent = ReadAll(file, password, 256, storage.get()), fresh = ReadAll(file, password);
        ASSERT_EQ(lent.entries.size(), fresh.entries.size());
        for (std::size_t i = 0; i < lent.entries.size(); ++i)
            EXPECT_TRUE(lent.entries[i].contents == fresh.entries[i].contents) << lent.entries[i].name;
    };
    expectAsFresh(locked, "pw");
    EXPECT_EQ(ErrorOf(broken, storage.get()).problem(), ArchiveProblem::BrokenData);
    expectAsFresh(small, "");
    expectAsFresh(plain, "");
}

TEST(Reader, RecordsTheExpanderRefusesAreRefusedOrFlagged) {
    struct Case {
        std::function<void(EntryWriter&)> write;
        ArchiveProblem problem;
        std::string_view what;
    };
    const Case cases[] = {
        {[](EntryWriter& w) { w.AddRawName(""); }, ArchiveProblem::BrokenRecord, "empty name"},
        {[](EntryWriter& w) { w.AddRawFile({"a", {}, 0x80000000u, {}, {}}); }, ArchiveProblem::BrokenRecord, "2^31"},
        {[](EntryWriter& w) { w.AddRawFile({"a", {}, 4, {1, 0}, {}}); }, ArchiveProblem::BrokenRecord, "refers"},
        {[](EntryWriter& w) {
             w.AddFile("a", {}, ToBytes("abc"));
             w.AddRawFile({"b", {}, 10, {1, 4}, {}});
         },
         ArchiveProblem::BrokenRecord, "shared prefix"},
        {[](EntryWriter& w) { w.AddRawFile({"a", {}, 2, {}, EncodeItems(std::vector{MatchItem(2, 5)})}); },
         ArchiveProblem::BrokenData, "compressed data"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EntryWriter writer;
        c.write(writer);
        const ArchiveError error = ErrorOf(SelfExtractor(writer));
        EXPECT_EQ(error.problem(), c.problem) << error.what();
        EXPECT_NE(std::string(error.what()).find(c.what), std::string::npos) << error.what();
    }

    EntryWriter writer;
    for (const char* name : {"..\\up", "ok\\.x\\y", "c:x", "\\root", "fine..name"}) writer.AddFile(name, {}, ToBytes("x"));
    std::vector<bool> unsafe;
    for (const reader::Entry& entry : ReadAll(SelfExtractor(writer)).records) unsafe.push_back(entry.unsafe);
    EXPECT_EQ(unsafe, (std::vector<bool>{true, false, true, true, false}));
}

}  // namespace
}  // namespace quorvel::test
