// Fuzz target for the reader: archive bytes in (see archive_input.hpp), the whole archive
// listed and tested in memory, once with each file's data handed to a sink and once with
// it dropped. Only ArchiveError may come out; both reads must see the same entries and end
// in the same error; a file's data is exactly its size; a read that ends well has taken
// every data byte of the block stream. The sanitizers watch everything else.
//
// The options byte's bits 3-4 choose the blocks read at a time (1, 2, 3, 256), bits 5-6 the
// names' code page (1252, 932, 936, 950).

#include <tuple>

#include "archive_input.hpp"
#include "format/archive_format.hpp"
#include "support/parts.hpp"

namespace quorvel::fuzz {
namespace {

reader::ReaderOptions OptionsOf(const ArchiveInput& input) {
    static constexpr std::uint32_t kBlocksPerRead[] = {1, 2, 3, 256};
    static constexpr unsigned kCodePages[] = {1252, 932, 936, 950};
    return {.password = input.text,
            .codePage = kCodePages[input.options >> 5 & 3],
            .blocksPerRead = kBlocksPerRead[input.options >> 3 & 3]};
}

auto Fields(const reader::Entry& e) {
    return std::tie(e.kind, e.name, e.unsafe, e.tooLong, e.size, e.referenceBack, e.sharedPrefix, e.times.creation,
                    e.times.lastAccess, e.times.lastWrite, e.recordOffset, e.storedBytes);
}

void ExpectSameReads(const ReadOutcome& collected, const ReadOutcome& dropped) {
    Expect(collected.entries.size() == dropped.entries.size(), "the entries differ with and without a sink");
    for (std::size_t i = 0; i < collected.entries.size(); ++i)
        Expect(Fields(collected.entries[i].entry) == Fields(dropped.entries[i].entry),
               "an entry differs with and without a sink");
    Expect(collected.error.has_value() == dropped.error.has_value() &&
               (!collected.error || std::string(collected.error->what()) == dropped.error->what()),
           "the reads end differently with and without a sink");
}

// Payload bytes in the block stream: its length less two check bytes per block.
std::uint64_t DataBytes(const Bytes& file, const reader::ArchiveHeader& header) {
    const std::uint64_t stream = file.size() - header.payloadOffset;
    return stream - 2 * ((stream + kBlockSize - 1) / kBlockSize);
}

void ExpectWholeRead(const Bytes& file, const ReadOutcome& read) {
    std::uint64_t stored = 0;
    for (const ReadEntry& e : read.entries) {
        stored += e.entry.storedBytes;
        if (e.entry.kind == reader::EntryKind::File)
            Expect(e.data.size() == e.entry.size, "a file's data is not as long as its size");
    }
    Expect(stored == DataBytes(file, *HeaderOf(file)), "a good read left data bytes untaken");
}

}  // namespace

std::vector<Bytes> SeedInputs() {
    std::vector<Bytes> seeds;
    std::uint8_t options = kFixTotalSize | kResealBlocks;
    for (const SeedArchive& seed : SeedArchives()) {
        seeds.push_back(EncodeArchiveInput(options, seed.password, seed.archive));
        options = static_cast<std::uint8_t>(options + 0x28);  // other read sizes and code pages
    }
    // Stubs the reader tells apart by their file headers: ELF x86_64, and PE i686.
    const Bytes elf = {kStubFromInput, 0, 3, 0x7F, 'E', 'L', 'F', 2, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 62, 0};
    Bytes pe = {kStubFromInput, 0, 16, 'M', 'Z'};
    pe.resize(3 + 0x3C, 0);
    pe.insert(pe.end(), {0x40, 0, 0, 0, 'P', 'E', 0, 0, 0x4C, 0x01});
    pe.resize(3 + 128, 0);
    const Bytes archive = SeedArchives().back().archive;
    for (Bytes stub : {elf, pe}) {
        stub.resize(3 + 8 * stub[2], 0);
        stub.insert(stub.end(), archive.begin(), archive.end());
        seeds.push_back(stub);
    }
    return seeds;
}

}  // namespace quorvel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvel::fuzz;
    ArchiveInput input = ParseArchiveInput({data, size});
    if (input.options & kResealBlocks) {
        if (const auto header = HeaderOf(input.file)) ResealBlocks(input.file, *header, input.text);
    }
    const quorvel::reader::ReaderOptions options = OptionsOf(input);
    const ReadOutcome collected = ReadWithReader(input.file, options, true);
    if (collected.capped) return 0;
    ExpectSameReads(collected, ReadWithReader(input.file, options, false));
    if (!collected.error) ExpectWholeRead(input.file, collected);
    return 0;
}
