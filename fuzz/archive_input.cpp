#include "archive_input.hpp"

#include <algorithm>

#include "format/archive_format.hpp"
#include "format/crc16.hpp"
#include "packer/archive_writer.hpp"
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

// A reader's sink that keeps the data, up to the collect limit in all.
class Collector : public reader::DataSink {
public:
    struct LimitReached {};
    explicit Collector(std::uint64_t& total) : total_(total) {}
    void Write(std::span<const std::uint8_t> bytes) override {
        Expect(!bytes.empty() && bytes.size() <= 32768, "the reader handed out a piece of no bytes or over 32768");
        total_ += bytes.size();
        if (total_ > kCollectLimit) throw LimitReached{};
        data.insert(data.end(), bytes.begin(), bytes.end());
    }
    Bytes data;

private:
    std::uint64_t& total_;
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
    std::uint64_t collected = 0;
    reader::MemorySource source(file);
    try {
        const reader::ArchiveHeader header = reader::ReadArchiveHeader(source);
        reader::ArchiveReader archive(source, header, options, &ProcessDecoderStorage());
        while (const reader::Entry* entry = archive.Next()) {
            ReadEntry& read = outcome.entries.emplace_back(ReadEntry{*entry, {}});
            if (entry->kind == reader::EntryKind::Folder) continue;
            Collector sink(collected);
            archive.ReadData(collect ? &sink : nullptr);
            read.entry = *entry;  // now with its stored bytes
            read.data = std::move(sink.data);
        }
    } catch (const reader::ArchiveError& error) {
        outcome.error = error;
    } catch (const Collector::LimitReached&) {
        outcome.capped = true;
    }
    return outcome;
}

std::vector<SeedArchive> SeedArchives() {
    test::SampleArchive small = test::MakeSampleArchive(300);
    test::SampleArchive wrapped = test::MakeSampleArchive(10, 260);
    EntryWriter twice;
    twice.AddFile("same.txt", {}, test::ToBytes("first"));
    twice.AddFile("same.txt", {}, test::ToBytes("first and second"), {1, 5});
    twice.AddFolder("folder");
    twice.AddFile("folder\\same.txt", {}, test::ToBytes("third"));
    const ArchiveOptions noted{.comment = "Sample\r\nnotes", .runCommand = "docs\\readme.txt"};
    const ArchiveOptions locked{.password = "pw", .passwordFlag = 0xA5};
    return {
        {"", BuildArchive({}, small.entries.Payload())},
        {"pw", BuildArchive(locked, small.entries.Payload())},
        {"", BuildArchive(noted, wrapped.entries.Payload())},
        {"secret", BuildArchive({.password = "secret"}, wrapped.entries.Payload())},
        {"", BuildArchive({}, twice.Payload())},
    };
}

}  // namespace quorvel::fuzz
