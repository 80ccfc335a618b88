#include "tool/extract/extractor.hpp"

#include <fcntl.h>
#include <sys/stat.h>

#include <stdexcept>

#include "tool/common/tool_error.hpp"
#include "tool/extract/extract_failure.hpp"

namespace quorvel::tool {
namespace {

bool Exists(int folder, const std::string& name) {
    struct stat info;
    return fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

// Hands an entry's bytes to the writer, and moves the progress line on while a large file
// is decoded from few bytes of the archive.
class WriterSink final : public reader::DataSink {
public:
    WriterSink(FileWriter& writer, ProgressBar& progress) : writer_(writer), progress_(progress) {}
    void Write(std::span<const std::uint8_t> bytes) override {
        if (writer_.HasStopped()) throw FileWriter::Stopped{};
        writer_.Write(bytes);
        progress_.Refresh();
    }

private:
    FileWriter& writer_;
    ProgressBar& progress_;
};

// A path inside the target folder, for comparing names.
std::string JoinedPath(std::span<const std::string> parts) {
    std::string path;
    for (const std::string& part : parts) path += (path.empty() ? "" : "/") + part;
    return path;
}

}  // namespace

Extractor::Extractor(const ExtractOptions& options, NameText& names, Reporter& reporter, ProgressBar& progress)
    : names_(names),
      reporter_(reporter),
      progress_(progress),
      target_(options.folder),
      patterns_(options.patterns),
      overwrite_(options.overwrite, reporter, [this] { Collect(true); }) {}  // the files before are told of first

void Extractor::Fail(const std::string& message) {
    Collect(true);
    Report(message);
}

void Extractor::Report(const std::string& message) {
    reporter_.Error(message);
    ++counts_.failed;
}

void Extractor::Finish() { Collect(true); }

void Extractor::Collect(bool all) {
    while (const std::optional<FileWriter::Outcome> outcome = writer_.TakeOutcome(all)) {
        writing_.pop_front();
        switch (outcome->result) {
            case FileWriter::Result::Written:
                ++counts_.files;
                break;
            case FileWriter::Result::Failed:
                if (outcome->repeats) throw ExtractionStopped(outcome->message);
                Report(outcome->message);
                break;
            case FileWriter::Result::Dropped: break;
        }
    }
}

void Extractor::SettleIfWriting(const std::string& path) {
    for (const std::string& writing : writing_) {
        const bool inside = path.size() > writing.size() && path.starts_with(writing) && path[writing.size()] == '/';
        if (path == writing || inside) return Collect(true);
    }
}

std::optional<std::vector<std::string>> Extractor::PartsOf(const reader::Entry& entry, const std::string& shown) {
    const auto refuse = [&](const std::string& why) -> std::optional<std::vector<std::string>> {
        Fail("entry \"" + shown + "\": " + why);
        return std::nullopt;
    };
    if (entry.unsafe) return refuse("refused: the name could reach outside the folder");
    if (entry.tooLong) return refuse("refused: the name is longer than the Expander can create");
    const bool folder = entry.kind == reader::EntryKind::Folder;
    // A folder's name is made up to its last separator, as the Expander makes it.
    std::optional<std::vector<std::string>> parts = names_.SystemParts(folder ? entry.name + "\\" : entry.name);
    if (!parts) return refuse("the name means nothing in code page " + std::to_string(names_.CodePage()));
    std::string own = std::move(parts->back());
    parts->pop_back();
    std::erase_if(*parts, [](const std::string& part) { return part.empty() || part == "."; });
    if (folder) return parts;
    if (own.empty() || own == ".") return refuse("the name names no file");
    parts->push_back(std::move(own));
    return parts;
}

void Extractor::StopAtWriterFailure() {
    Collect(true);
    throw std::logic_error("the writer stopped without a failure");  // Collect threw at it
}

void Extractor::Take(const reader::Entry& entry, reader::ArchiveReader& archive) {
    if (writer_.HasStopped()) StopAtWriterFailure();
    const std::string shown = names_.Shown(entry.name);
    std::optional<std::vector<std::string>> parts;
    if (patterns_.Matches(shown)) parts = PartsOf(entry, shown);
    if (!parts) return archive.ReadData(nullptr);
    try {
        if (entry.kind == reader::EntryKind::Folder) return TakeFolder(*parts);
        TakeFile(entry, archive, std::move(*parts));
    } catch (const FileWriter::Stopped&) {
        StopAtWriterFailure();
    } catch (const ToolError& error) {
        StopIfItRepeats(error);
        archive.ReadData(nullptr);  // nothing, once the data has been read
        Fail(error.what());
    }
}

void Extractor::StopIfItRepeats(const ToolError& error) {
    const auto* failure = dynamic_cast<const EntryFailure*>(&error);
    if (failure == nullptr || !failure->repeats) return;
    Collect(true);  // the files before it are told of first
    throw ExtractionStopped(failure->what());
}

void Extractor::TakeFolder(const std::vector<std::string>& parts) {
    SettleIfWriting(JoinedPath(parts));
    target_.Folder(parts);
    ++counts_.folders;
}

void Extractor::TakeFile(const reader::Entry& entry, reader::ArchiveReader& archive, std::vector<std::string> parts) {
    SettleIfWriting(JoinedPath(parts));
    std::string name = std::move(parts.back());
    parts.pop_back();
    const SharedFolder& shared = target_.Folder(parts);
    const int folder = shared->get();
    // What stands at the name is replaced anyway: the writer finds out as it names the file.
    bool replace = overwrite_.ReplacesAll();
    if (!replace && Exists(folder, name)) {
        parts.push_back(name);
        switch (overwrite_.Decide(target_.PathOf(parts))) {
            case ExistingFile::Keep:
                ++counts_.kept;
                return archive.ReadData(nullptr);
            case ExistingFile::Rename:
                Collect(true);  // a file still being written may take one of the names tried
                name = FreeName(name, [folder](const std::string& candidate) { return Exists(folder, candidate); });
                ++counts_.renamed;
                break;
            case ExistingFile::Replace: replace = true; break;
        }
        parts.pop_back();
    }
    parts.push_back(name);
    Write(entry, archive, shared, std::move(parts), replace);
}

// The writer keeps the folder open after this thread has moved on to others.
void Extractor::Write(const reader::Entry& entry, reader::ArchiveReader& archive, SharedFolder folder,
                      std::vector<std::string> parts, bool replace) {
    writer_.Begin({std::move(folder), target_.PathOf(parts), parts.back(), parts.size() == 1, replace, entry.times});
    writing_.push_back(JoinedPath(parts));
    WriterSink sink(writer_, progress_);
    try {
        archive.ReadData(&sink);
    } catch (...) {
        writer_.Drop();
        throw;
    }
    writer_.End();
    progress_.FileRead();
    Collect(false);
}

}  // namespace quorvel::tool
