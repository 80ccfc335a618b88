#include "tool/pack/pack_command.hpp"

#include <unistd.h>

#include <algorithm>
#include <stdexcept>

#include "format/archive_format.hpp"
#include "packer/archive_writer.hpp"
#include "packer/entry_writer.hpp"
#include "packer/payload_pipeline.hpp"
#include "packer/reference_choice.hpp"
#include "tool/common/code_page.hpp"
#include "tool/common/passwords.hpp"
#include "tool/common/reporter.hpp"
#include "tool/common/tool_error.hpp"
#include "tool/pack/file_contents.hpp"
#include "tool/pack/input_file.hpp"
#include "tool/pack/input_tree.hpp"
#include "tool/pack/output_file.hpp"
#include "tool/pack/pack_progress.hpp"
#include "tool/pack/stored_names.hpp"
#include "tool/pack/stub_choice.hpp"
#include "tool/tool_namespace.hpp"

namespace quorvel::tool {
namespace {

// The header's fields: texts in the code page, and the password.
ArchiveOptions HeaderFields(const PackOptions& options) {
    ArchiveOptions archive;
    const std::string comment = options.commentFile ? ReadTextFile(*options.commentFile) : options.comment.value_or("");
    archive.comment = FromUtf8(comment, options.codePage, "the comment");
    archive.runCommand = FromUtf8(options.runCommand, options.codePage, "the run command");
    if (archive.comment.find('\0') != std::string::npos) throw ToolError("the comment holds a zero byte");
    archive.password = PasswordForPacking(options);
    return archive;
}

// The inputs in the order they go into the archive.
std::vector<InputEntry> Inputs(const PackOptions& options, const WarningSink& warn) {
    InputRules rules;
    if (options.baseFolder) rules.baseFolder = *options.baseFolder;
    rules.followFolderLinks = options.followFolderLinks;
    rules.listSkipped = options.verbose;
    rules.output = options.output;
    std::vector<InputEntry> entries = CollectInputs(options.paths, rules, warn);
    OrderForArchive(entries);
    if (entries.empty()) throw ToolError("nothing to pack");
    return entries;
}

// The stored name of each entry; files too large to store are refused before anything is
// written.
std::vector<std::string> StoredNames(const std::vector<InputEntry>& entries, int codePage) {
    std::vector<std::string> names;
    for (const InputEntry& entry : entries) {
        names.push_back(ArchiveName(entry, codePage));
        if (entry.size > kSizeLimit) throw ToolError(entry.source.string() + ": 2^31 bytes or more cannot be stored");
    }
    return names;
}

struct ChosenStub {
    std::vector<std::uint8_t> bytes;
    bool windows = false;
};

// The Expander in front, named on a terminal when OUTPUT's name chose it. Names are checked
// against what Windows can create when it is the Windows one.
ChosenStub Stub(const PackOptions& options, const std::vector<InputEntry>& entries,
                const std::vector<std::string>& names, Reporter& reporter) {
    const std::string choice = StubChoiceFor(options.stub, options.output);
    ChosenStub stub{ChooseStub(choice)};
    if (!options.stub && !options.quiet && isatty(STDERR_FILENO)) reporter.Note(StubChoiceNote(choice, options.output));
    stub.windows = IsWindowsStubChoice(choice, stub.bytes);
    if (stub.windows) CheckPortableNames(entries, names, options.codePage, options.allowUnportableNames, reporter);
    return stub;
}

// Executable where the Expander in front runs as a program of this system; never wider than
// the umask allows, which the system takes off.
mode_t OutputMode(const ChosenStub& stub) {
    return stub.windows ? 0666 : 0777;
}

// A step that writes the archive; the archive's size limit is named with the file.
template <typename Step>
void WithinSizeLimit(const std::string& output, Step step) {
    try {
        step();
    } catch (const std::length_error& error) {
        throw ToolError(output + ": " + error.what());
    }
}

std::uint64_t FileBytes(const std::vector<InputEntry>& entries) {
    std::uint64_t bytes = 0;
    for (const InputEntry& entry : entries) bytes += entry.size;
    return bytes;
}

}  // namespace

int RunPack(const PackOptions& options) {
    Reporter reporter(Reporter::ProgressWanted(options.quiet));
    const WarningSink warn = [&reporter](const std::string& text) { reporter.Warning(text); };
    const std::vector<InputEntry> entries = Inputs(options, warn);
    const ArchiveOptions archive = HeaderFields(options);
    const std::vector<std::string> names = StoredNames(entries, options.codePage);
    const ChosenStub stub = Stub(options, entries, names, reporter);

    OutputFile output(options.output, OutputMode(stub));
    ArchiveWriter archiveFile(stub.bytes, archive,
                              {[&](std::span<const std::uint8_t> bytes) { output.Write(bytes); },
                               [&](std::uint64_t offset, std::span<const std::uint8_t> bytes) {
                                   output.WriteAt(offset, bytes);
                               }});

    EntryWriter writer(options.effort);
    ReferenceChooser chooser(options.effort);
    const auto folders = static_cast<std::size_t>(
        std::count_if(entries.begin(), entries.end(), [](const InputEntry& entry) { return entry.isFolder; }));
    PackProgress progress(reporter, entries.size() - folders, folders, FileBytes(entries));
    PayloadPipeline pipeline(writer, options.effort, [&](std::vector<std::uint8_t> payload) {
        WithinSizeLimit(options.output, [&] { archiveFile.Append(payload); });
        progress.EntryWritten(entries[pipeline.EntriesWritten() - 1].isFolder, archiveFile.Size());
    });
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const InputEntry& entry = entries[i];
        if (entry.isFolder) {
            pipeline.AddFolder(names[i]);
            continue;
        }
        InputFile input = ReadInputFile(entry, warn);
        const std::string extension = ExtensionOf(entry.storedName);
        const EntryReference reference = chooser.Choose(writer, input.contents, extension);
        chooser.Remember(input.contents, extension);
        PreparedFile file = writer.PrepareFile(names[i], input.times, std::move(input.contents), reference);
        file.progress = progress.FileHook();
        pipeline.AddFile(std::move(file));
    }
    pipeline.Finish();
    WithinSizeLimit(options.output, [&] { archiveFile.Finish(); });
    output.Commit();
    progress.Finish(pipeline.BytesWritten(), output.Size());
    return kExitSuccess;
}

}  // namespace quorvel::tool
