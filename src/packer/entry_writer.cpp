#include "packer/entry_writer.hpp"

#include <algorithm>
#include <stdexcept>

#include "format/archive_format.hpp"
#include "format/little_endian.hpp"
#include "format/window_preset.hpp"
#include "packer/compress.hpp"
#include "packer/packer_namespace.hpp"

namespace quorvel::packer {
namespace {

constexpr std::size_t kHistoryBytes = kSlotSize;
constexpr std::size_t kHistoryFiles = kMaxReferenceBack;

}  // namespace

std::vector<std::uint8_t> EncodeEntryName(const std::string& previous, const std::string& name) {
    std::size_t shared = 0;
    while (shared < previous.size() && shared < name.size() && previous[shared] == name[shared]) ++shared;
    shared = std::min<std::size_t>(shared, kLongestPrefix);
    std::string stored;
    if (shared > kMinimumPrefix) {
        stored = {kPrefixMark, static_cast<char>(shared - kMinimumPrefix)};
    } else if (!name.empty() && name[0] == kPrefixMark) {
        throw std::invalid_argument("a name starting with '*' cannot be stored after " + previous);
    } else {
        shared = 0;
    }
    stored.append(name, shared);
    stored.push_back('\0');
    std::vector<std::uint8_t> out(stored.begin(), stored.end());
    return out;
}

void EntryWriter::PutName(const std::string& name) {
    if (name.find('\0') != std::string::npos) throw std::invalid_argument("a name holds a zero byte");
    const std::vector<std::uint8_t> stored = EncodeEntryName(previousName_, name);
    payload_.insert(payload_.end(), stored.begin(), stored.end());
    previousName_ = name;
}

void EntryWriter::Remember(std::span<const std::uint8_t> contents) {
    history_.push_front(std::make_shared<const std::vector<std::uint8_t>>(
        contents.begin(), contents.begin() + static_cast<std::ptrdiff_t>(std::min(contents.size(), kHistoryBytes))));
    if (history_.size() > kHistoryFiles) history_.pop_back();
    ++fileCount_;
}

std::span<const std::uint8_t> EntryWriter::History(std::uint32_t referenceBack) const {
    return *SharedHistory(referenceBack);
}

std::shared_ptr<const std::vector<std::uint8_t>> EntryWriter::SharedHistory(std::uint32_t referenceBack) const {
    if (referenceBack == 0 || referenceBack > history_.size())
        throw std::out_of_range("no file entry " + std::to_string(referenceBack) + " back");
    return history_[referenceBack - 1];
}

std::span<const std::uint8_t> PresetBytes(std::span<const std::uint8_t> history, std::size_t sharedPrefixLength) {
    const WindowPreset window =
        ComputeWindowPreset(static_cast<std::int32_t>(history.size()), static_cast<std::int32_t>(sharedPrefixLength));
    return history.subspan(static_cast<std::size_t>(window.PresetStart), static_cast<std::size_t>(window.PresetLength));
}

void EntryWriter::AddFolder(const std::string& name) { PutName(name + kFolderSuffix); }

void EntryWriter::AddRawName(const std::string& name) { PutName(name); }

void PreparedFile::Compress(int effort, bool twoThreads) {
    const std::span<const std::uint8_t> whole = Contents();
    if (chooseReference) {
        ReferenceWithPreset chosen = chooseReference(whole);
        entry.reference = chosen.reference;
        preset = std::move(chosen.preset);
        chooseReference = nullptr;
    }
    // The hooks count in the data, which starts behind the shared prefix.
    const std::size_t prefix = entry.reference.sharedPrefixLength;
    CompressHooks hooks;
    if (progress) hooks.progress = [this, prefix](std::size_t done) { progress(prefix + done); };
    if (lent.passed)
        hooks.passed = [this, prefix](std::size_t from, std::size_t to) { lent.passed(prefix + from, prefix + to); };
    entry.compressedData = CompressFileData(preset, whole.subspan(prefix), effort, hooks, dataPieces, twoThreads);
    if (lent.checkRead) lent.checkRead();
}

PreparedFile EntryWriter::PrepareFile(const std::string& name, const EntryTimes& times,
                                      std::vector<std::uint8_t> contents, EntryReference reference) {
    PreparedFile file = Prepare(name, times, contents, reference);
    file.contents = std::move(contents);
    return file;
}

PreparedFile EntryWriter::PrepareLentFile(const std::string& name, const EntryTimes& times, LentContents contents,
                                          EntryReference reference) {
    PreparedFile file = Prepare(name, times, contents.bytes, reference);
    file.lent = std::move(contents);
    return file;
}

PreparedFile EntryWriter::Prepare(const std::string& name, const EntryTimes& times,
                                  std::span<const std::uint8_t> contents, EntryReference reference) {
    if (contents.size() > kSizeLimit) throw std::length_error(name + " is 2^31 bytes or more");
    PreparedFile file{RawFileEntry{name, times, static_cast<std::uint32_t>(contents.size()), reference, {}}, {}, {}};
    if (reference.referenceBack != 0) {
        const std::span<const std::uint8_t> referenced = History(reference.referenceBack);
        const std::size_t prefix = reference.sharedPrefixLength;
        if (prefix > referenced.size() || prefix > contents.size() ||
            !std::equal(referenced.begin(), referenced.begin() + static_cast<std::ptrdiff_t>(prefix), contents.begin()))
            throw std::invalid_argument(name + ": the shared prefix is not shared");
        const auto preset = PresetBytes(referenced, prefix);
        file.preset.assign(preset.begin(), preset.end());
    } else if (reference.sharedPrefixLength != 0) {
        throw std::invalid_argument(name + ": a shared prefix needs a referenced file");
    }
    Remember(contents);
    return file;
}

void EntryWriter::AddPreparedFile(const PreparedFile& file) {
    PutFileRecord(file.entry);
}

void EntryWriter::AddFileRecordHead(const RawFileEntry& entry) {
    PutName(entry.name);
    AppendLittleEndian(payload_, entry.times.creation, kFileTimeBytes);
    AppendLittleEndian(payload_, entry.times.lastAccess, kFileTimeBytes);
    AppendLittleEndian(payload_, entry.times.lastWrite, kFileTimeBytes);
    AppendLittleEndian(payload_, entry.entrySize, kEntrySizeBytes);
    payload_.push_back(static_cast<std::uint8_t>(entry.reference.referenceBack));
    if (entry.reference.referenceBack != 0)
        AppendLittleEndian(payload_, entry.reference.sharedPrefixLength, kSharedPrefixBytes);
}

void EntryWriter::AddFileData(std::span<const std::uint8_t> data) {
    payload_.insert(payload_.end(), data.begin(), data.end());
}

void EntryWriter::AddFile(const std::string& name, const EntryTimes& times,
                          std::span<const std::uint8_t> contents, EntryReference reference) {
    PreparedFile file = PrepareFile(name, times, {contents.begin(), contents.end()}, reference);
    file.Compress(effort_);
    AddPreparedFile(file);
}

void EntryWriter::AddRawFile(const RawFileEntry& entry, std::span<const std::uint8_t> contents) {
    PutFileRecord(entry);
    Remember(contents);
}

void EntryWriter::PutFileRecord(const RawFileEntry& entry) {
    AddFileRecordHead(entry);
    AddFileData(entry.compressedData);
}

}  // namespace quorvel::packer
