#include "archive_input.hpp"

#include <algorithm>

#include "decoder/sliding_window.hpp"
#include "format/archive_format.hpp"
#include "format/crc16.hpp"
#include "packer/archive_writer.hpp"
#include "support/parts.hpp"
#include "support/sample_archive.hpp"

namespace quorvel::fuzz {
namespace {

// Takes bytes from the front of the input; what is missing reads as nothing.
class Front {
public:
    explicit Front(std::span<const std::uint8_t> data) : data_(data) {}
    std::uint8_t Byte() { return data_.empty() ? 0 : Take(1)[0]; }
    std::span<const std::uint8_t> Take(std::size_t n) {
        const std::span<const std::uint8_t> taken = data_.first(std::min(n, data_.size()));
        data_ = data_.subspan(taken.size());
        return taken;
    }
    std::span<const std::uint8_t> Rest() const { return data_; }

private:
    std::span<const std::uint8_t> data_;
};

// Where collected data is kept: made once for the process with room for the collect limit,
// so that no read allocates, grows or clears it again.
Bytes& CollectBuffer() {
    static Bytes buffer = [] {
        Bytes made;
        made.reserve(kCollectLimit);
        return made;
    }();
    return buffer;
}

// A reader's sink that keeps the data in the collect buffer, up to the collect limit in all.
class Collector : public reader::DataSink {
public:
    struct LimitReached {};
    explicit Collector(Bytes& buffer) : buffer_(buffer) {}
    void Write(std::span<const std::uint8_t> bytes) override {
        Expect(!bytes.empty() && bytes.size() <= decoder::kWindowSize,
               "the reader handed out a piece of no bytes or larger than the window");
        if (buffer_.size() + bytes.size() > kCollectLimit) throw LimitReached{};
        buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
    }

private:
    Bytes& buffer_;
};

}  // namespace

ArchiveInput ParseArchiveInput(std::span<const std::uint8_t> data) {
    Front front(data);
    ArchiveInput input;
    input.options = front.Byte();
    const auto text = front.Take(front.Byte());
    input.text.assign(text.begin(), text.end());
    input.file.assign(StubSize, 0);
    if (input.options & kStubFromInput) {
        const auto stub = front.Take(8u * front.Byte());
        std::copy(stub.begin(), stub.end(), input.file.begin());
    }
    input.file.insert(input.file.end(), front.Rest().begin(), front.Rest().end());
    if ((input.options & kFixTotalSize) && input.file.size() >= StubSize + kTotalSizeBytes)
        PatchTotalSize(std::span(input.file).subspan(StubSize), input.file.size());
    return input;
}

Bytes EncodeArchiveInput(std::uint8_t options, const std::string& text, std::span<const std::uint8_t> archive) {
    Bytes input{options, static_cast<std::uint8_t>(text.size())};
    input.insert(input.end(), text.begin(), text.end());
    input.insert(input.end(), archive.begin(), archive.end());
    return input;
}

std::optional<reader::ArchiveHeader> HeaderOf(const Bytes& file) {
    reader::MemorySource source(file);
    try {
        return reader::ReadArchiveHeader(source);
    } catch (const reader::ArchiveError&) {
        return std::nullopt;
    }
}

void ResealBlocks(Bytes& file, const reader::ArchiveHeader& header, std::string_view key) {
    if (!header.Scrambled()) key = {};
    std::size_t keyIndex = 0;
    for (std::size_t start = header.payloadOffset; start + 2 < file.size(); start += kBlockSize) {
        const std::size_t dataCount = std::min<std::size_t>(kBlockSize, file.size() - start) - 2;
        Bytes plain(file.begin() + static_cast<std::ptrdiff_t>(start),
                    file.begin() + static_cast<std::ptrdiff_t>(start + dataCount));
        for (std::uint8_t& byte : plain) {
            if (key.empty()) break;
            byte ^= static_cast<std::uint8_t>(key[keyIndex]);
            keyIndex = (keyIndex + 1) % key.size();
        }
        const std::uint16_t check = Crc16(plain.data(), plain.size());
        file[start + dataCount] = static_cast<std::uint8_t>(check >> 8);
        file[start + dataCount + 1] = static_cast<std::uint8_t>(check);
    }
}

// The Expander's console reads a line up to CR or the end-of-input mark 0x1A, then skips
// the CR and an LF after it; a LF alone ends a line as CR LF would.
std::string AcceptedPassword(std::string_view typed, const reader::ArchiveHeader& header) {
    if (!header.Scrambled()) return {};
    constexpr char kEndOfInput = 0x1A;
    typed = typed.substr(0, typed.find(kEndOfInput));
    for (int tries = 0; tries < 3; ++tries) {
        const std::size_t end = std::min(typed.find('\r'), typed.find('\n'));
        const std::string_view answer = typed.substr(0, end);
        if (reader::PasswordMatches(header, answer)) return std::string(answer);
        typed = end == std::string_view::npos ? std::string_view() : typed.substr(end);
        if (typed.starts_with('\r')) typed.remove_prefix(1);
        if (typed.starts_with('\n')) typed.remove_prefix(1);
    }
    return {};
}

ReadOutcome ReadWithReader(const Bytes& file, const reader::ReaderOptions& options, bool collect) {
    ReadOutcome outcome;
    Bytes& collected = CollectBuffer();
    if (collect) collected.clear();
    reader::MemorySource source(file);
    try {
        const reader::ArchiveHeader header = reader::ReadArchiveHeader(source);
        reader::ArchiveReader archive(source, header, options, &ProcessDecoderStorage());
        while (const reader::Entry* entry = archive.Next()) {
            ReadEntry& read = outcome.entries.emplace_back(ReadEntry{*entry, {}});
            if (entry->kind == reader::EntryKind::Folder) continue;
            Collector sink(collected);
            const std::size_t start = collected.size();
            archive.ReadData(collect ? &sink : nullptr);
            read.entry = *entry;  // now with its stored bytes
            if (collect) read.data = std::span(collected).subspan(start);
        }
    } catch (const reader::ArchiveError& error) {
        outcome.error = error;
    } catch (const Collector::LimitReached&) {
        outcome.capped = true;
    }
    return outcome;
}

namespace {

// What an extraction meets, small: folders, text, a file that shares a prefix with the one
// before it and one that starts from an earlier one's window preset, bytes that do not
// compress, an empty file, and a long repeated text that slides the window. With wrapRing,
// 260 files more, empty but for a few, the last starting from the one 255 back, wrap the
// history ring. Every file entry sets up its trees and every 256 items rebuilds them, which
// the sanitizers make slow: the sample archive of the tests, whose files hold ten times
// as many items, took several milliseconds a read.
Bytes SamplePayload(bool wrapRing) {
    test::SampleArchive sample;
    sample.AddFolder("docs\\empty");
    sample.AddFile("docs\\readme.txt", test::WordBytes(3000, 1));
    const Bytes notes = test::WordBytes(1200, 2);
    sample.AddFile("docs\\notes\\a.txt", notes);
    Bytes shared(notes.begin(), notes.begin() + 700);
    const Bytes tail = test::WordBytes(500, 3);
    shared.insert(shared.end(), tail.begin(), tail.end());
    sample.AddFile("docs\\notes\\b.txt", shared, {1, 700});
    sample.AddFile("empty.txt", {});
    sample.AddFile("data\\random.bin", test::RandomBytes(300, 4));
    sample.AddFile("data\\preset.txt", test::WordBytes(1000, 2), {4, 0});
    Bytes repeated;
    for (const Bytes line = test::WordBytes(300, 5); repeated.size() < 42000;)
        repeated.insert(repeated.end(), line.begin(), line.end());
    sample.AddFile("data\\repeated.txt", repeated);
    constexpr std::size_t kRingFiles = 260, kReachBack = 255;
    for (std::size_t i = 0; wrapRing && i < kRingFiles; ++i) {
        const std::string name = "ring\\f" + std::to_string(i);
        if (i + 1 == kRingFiles) {
            Bytes last = test::WordBytes(12, 4);
            last.insert(last.end(), {'e', 'n', 'd'});
            sample.AddFile(name, last, {kReachBack, 12});
        } else {
            sample.AddFile(name, i % 64 == kRingFiles - 1 - kReachBack ? test::WordBytes(12, 4) : Bytes());
        }
    }
    sample.AddFile("last.txt", test::ToBytes("the end\r\n"));
    return sample.entries.Payload();
}

}  // namespace

std::vector<SeedArchive> SeedArchives() {
    const Bytes small = SamplePayload(false), wrapped = SamplePayload(true);
    EntryWriter twice;
    twice.AddFile("same.txt", {}, test::ToBytes("first"));
    twice.AddFile("same.txt", {}, test::ToBytes("first and second"), {1, 5});
    twice.AddFolder("folder");
    twice.AddFile("folder\\same.txt", {}, test::ToBytes("third"));
    const ArchiveOptions noted{.comment = "Sample\r\nnotes", .runCommand = "docs\\readme.txt"};
    const ArchiveOptions locked{.password = "pw", .passwordFlag = 0xA5};
    // The wrapped ones first: they alone span several blocks, and the reader target reads
    // its first seeds a block or two at a time.
    return {
        {"", BuildArchive(noted, wrapped)},
        {"secret", BuildArchive({.password = "secret"}, wrapped)},
        {"", BuildArchive({}, small)},
        {"pw", BuildArchive(locked, small)},
        {"", BuildArchive({}, twice.Payload())},
    };
}

}  // namespace quorvel::fuzz
