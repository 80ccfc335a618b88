#include "tool/common/archive_input.hpp"

#include <algorithm>

#include "decoder/decoder_storage.hpp"
#include "tool/common/tool_error.hpp"

namespace quorvel::tool {
namespace {

// How far the names are read ahead for a guess, in bytes of the file: enough for the names
// of most archives, while the time it takes (the files on the way are decoded too) stays
// small beside the reading proper.
constexpr std::uint64_t kLookAheadBytes = std::uint64_t{4} << 20;

bool HoldsNonAscii(std::string_view name) {
    return std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// Ends the look ahead inside a large file's data, once it has read its share of the file.
class LookAheadBudget final : public reader::DataSink {
public:
    struct Spent {};
    explicit LookAheadBudget(const reader::ArchiveReader& reader) : reader_(reader) {}
    void Write(std::span<const std::uint8_t>) override {
        if (reader_.FileBytesRead() >= kLookAheadBytes) throw Spent{};
    }

private:
    const reader::ArchiveReader& reader_;
};

}  // namespace

int InitialCodePage(const ReadOptions& options) { return options.codePage.value_or(kDefaultCodePage); }

ArchiveInput::ArchiveInput(const ReadOptions& options)
    : options_(options), source_(options.archive), front_(reader::ReadArchiveFront(source_)) {}

ArchiveInput::~ArchiveInput() = default;

CodePageChoice ArchiveInput::Open(NameText& names) {
    header_ = reader::ReadArchiveHeader(source_, front_);
    std::vector<PasswordMatch> passwords;
    try {
        const std::vector<int> given = options_.codePage ? std::vector<int>{*options_.codePage} : std::vector<int>{};
        passwords = PasswordForReading(options_, header_, given.empty() ? std::span<const int>(kCodePagesDefaultFirst) : given);
    } catch (const ToolError& error) {
        throw reader::ArchiveError(reader::ArchiveProblem::WrongPassword, error.what());
    }
    const CodePageChoice choice = ChooseCodePage(passwords);
    codePage_ = choice.codePage;
    const auto password = std::find_if(passwords.begin(), passwords.end(),
                                       [&](const PasswordMatch& match) { return match.codePage == codePage_; });
    if (password != passwords.end()) password_ = password->password;
    names.UseCodePage(codePage_);
    return choice;
}

// A password beyond ASCII passes the check in some code pages only: the guess is made
// among those.
CodePageChoice ArchiveInput::ChooseCodePage(const std::vector<PasswordMatch>& passwords) {
    if (options_.codePage) return {*options_.codePage, false, false};
    std::vector<int> candidates;
    for (const int codePage : kCodePagesDefaultFirst) {
        const bool passes = std::any_of(passwords.begin(), passwords.end(),
                                        [&](const PasswordMatch& match) { return match.codePage == codePage; });
        if (passwords.empty() || passes) candidates.push_back(codePage);
    }
    NameSample sample;
    sample.Add(header_.comment);
    sample.Add(header_.runCommand);
    const bool readToTheEnd = ReadNamesAhead(passwords.empty() ? "" : passwords.front().password, sample);
    lateNamesUnseen_ = !sample.BeyondAscii() && !readToTheEnd;
    return {GuessCodePage(sample, candidates), true, sample.BeyondAscii()};
}

void ArchiveInput::NoteLateName(const reader::Entry& entry, Reporter& reporter) {
    if (!lateNamesUnseen_ || !HoldsNonAscii(entry.name)) return;
    lateNamesUnseen_ = false;
    reporter.Note("names past the first " + std::to_string(kLookAheadBytes >> 20) +
                  " MB hold bytes beyond ASCII, read as code page " + std::to_string(codePage_) +
                  "; if they look wrong, --codepage sets it");
}

bool ArchiveInput::ReadNamesAhead(const std::string& password, NameSample& sample) {
    if (!storage_) storage_ = std::make_unique<decoder::DecoderStorage>();
    bool end = false;
    try {
        reader::ReaderOptions reading;
        reading.password = password;
        reader::ArchiveReader ahead(source_, header_, reading, storage_.get());
        LookAheadBudget budget(ahead);
        while (!sample.Full() && ahead.FileBytesRead() < kLookAheadBytes) {
            const reader::Entry* entry = ahead.Next();
            end = entry == nullptr;
            if (end) break;
            sample.Add(entry->name);
            if (entry->kind == reader::EntryKind::File) ahead.ReadData(&budget);
        }
    } catch (const reader::ArchiveError&) {
        end = true;  // the reading proper ends there too
    } catch (const LookAheadBudget::Spent&) {
    }
    return end;
}

reader::ArchiveReader& ArchiveInput::StartReading(reader::BlockReader::ReadObserver onRead) {
    reader::ReaderOptions reading;
    reading.password = password_;
    reading.codePage = static_cast<unsigned>(codePage_);
    reading.onRead = std::move(onRead);
    if (!storage_) storage_ = std::make_unique<decoder::DecoderStorage>();
    reader_ = std::make_unique<reader::ArchiveReader>(source_, header_, reading, storage_.get());
    return *reader_;
}

}  // namespace quorvel::tool
