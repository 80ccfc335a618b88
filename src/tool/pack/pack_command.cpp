#include "tool/pack/pack_command.hpp"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
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
#include "tool/pack/left_out_inputs.hpp"
#include "tool/pack/output_file.hpp"
#include "tool/pack/pack_progress.hpp"
#include "tool/pack/stored_names.hpp"
#include "tool/pack/stub_choice.hpp"
#include "tool/tool_namespace.hpp"

namespace quorvel::tool {
namespace {

// The header's fields: texts in the code page, and the password.
ArchiveOptions HeaderFields(const PackOptions& options, Reporter& reporter) {
    ArchiveOptions archive;
    const std::string comment = options.commentFile ? ReadTextFile(*options.commentFile) : options.comment.value_or("");
    archive.comment = FromUtf8(comment, options.codePage, "the comment");
    archive.runCommand = FromUtf8(options.runCommand, options.codePage, "the run command");
    if (archive.comment.find('\0') != std::string::npos) throw ToolError("the comment holds a zero byte");
    archive.password = PasswordForPacking(options, reporter);
    return archive;
}

// The cores this process may run on, which may be fewer than the machine has.
unsigned CoresAvailable() {
    cpu_set_t cores;
    if (sched_getaffinity(0, sizeof cores, &cores) != 0) return 1;
    return static_cast<unsigned>(std::max(1, CPU_COUNT(&cores)));
}

std::uint64_t FileBytes(const std::vector<InputEntry>& entries) {
    std::uint64_t bytes = 0;
    for (const InputEntry& entry : entries) bytes += entry.size;
    return bytes;
}

// The inputs in the order they go into the archive, each looked at before anything is
// written; those that cannot be stored are left out, or under --strict end the pack here.
std::vector<InputEntry> Inputs(const PackOptions& options, bool windows, LeftOutInputs& leftOut,
                               Reporter& reporter) {
    InputRules rules;
    if (options.baseFolder) rules.baseFolder = *options.baseFolder;
    rules.followFolderLinks = options.followFolderLinks;
    rules.listSkipped = options.verbose;
    rules.output = options.output;
    rules.codePage = options.codePage;
    std::vector<InputEntry> entries =
        CollectInputs(options.paths, rules, leftOut, [&reporter](const std::string& text) { reporter.Warning(text); });
    OrderForArchive(entries);
    // The sum says nothing of what the files compress to, so it refuses nothing; but a pack
    // that is bound to fail unless they compress well should say so before it starts.
    if (const std::uint64_t bytes = FileBytes(entries); bytes > kSizeLimit)
        reporter.Note("the files hold " + std::to_string(bytes) +
                      " bytes and an archive must stay below 2^31: the pack stops if they do not compress to less");
    if (windows) CheckPortableNames(entries, options.codePage, options.allowUnportableNames, reporter);
    if (leftOut.Strict() && leftOut.Count() > 0)
        throw ToolError(Count(leftOut.Count(), "input", "inputs") + " cannot be stored; with --strict nothing is written");
    if (entries.empty())
        throw ToolError(leftOut.Count() > 0 ? "nothing to pack: " + Count(leftOut.Count(), "input", "inputs") + " left out"
                                            : "nothing to pack");
    return entries;
}

struct ChosenStub {
    std::vector<std::uint8_t> bytes;
    bool windows = false;
};

// The Expander in front, named on a terminal when OUTPUT's name chose it.
ChosenStub Stub(const PackOptions& options, Reporter& reporter) {
    const std::string choice = StubChoiceFor(options.stub, options.output);
    ChosenStub stub{ChooseStub(choice)};
    if (!options.stub && !options.quiet && isatty(STDERR_FILENO)) reporter.Note(StubChoiceNote(choice, options.output));
    stub.windows = IsWindowsStubChoice(choice, stub.bytes);
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

// The file, read or, when large, mapped; or nothing when it cannot be read as it was found:
// it is left out then, which is safe as no part of its entry has been written; under
// --strict that ends the pack instead.
std::optional<OpenedInputFile> ReadOrLeaveOut(const InputEntry& entry, LeftOutInputs& leftOut, Reporter& reporter) {
    const WarningSink warn = [&reporter](const std::string& text) { reporter.Warning(text); };
    try {
        if (entry.size >= kMappedFromSize) return MapInputFile(entry, warn);
        InputFile read = ReadInputFile(entry, warn);
        return OpenedInputFile{read.times, std::move(read.contents), {}};
    } catch (const FileReadError& error) {
        if (leftOut.Strict()) throw;
        leftOut.LeaveOut(entry.source, error.reason);
        return std::nullopt;
    }
}

// The closing line: the inputs left out, which fail the pack, or else the warnings, if any.
int Conclude(const LeftOutInputs& leftOut, Reporter& reporter) {
    if (leftOut.Count() > 0) {
        reporter.Error(Count(leftOut.Count(), "input", "inputs") + " left out");
        return kExitFailure;
    }
    reporter.Summarize();
    return kExitSuccess;
}

}  // namespace

int RunPack(const PackOptions& options) {
    Reporter reporter(Reporter::ProgressWanted(options.quiet));
    LeftOutInputs leftOut(options.strict, [&reporter, &options](const std::string& text) {
        options.strict ? reporter.Error(text) : reporter.Warning(text);
    });
    const ChosenStub stub = Stub(options, reporter);
    const std::vector<InputEntry> entries = Inputs(options, stub.windows, leftOut, reporter);
    const ArchiveOptions archive = HeaderFields(options, reporter);

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
    std::vector<bool> addedFolders;  // whether each entry handed to the pipeline is a folder
    const unsigned threads = options.threads != 0 ? options.threads : CoresAvailable();
    const auto append = [&](const std::vector<std::uint8_t>& payload) {
        WithinSizeLimit(options.output, [&] { archiveFile.Append(payload); });
    };
    PayloadPipeline pipeline(
        writer, options.effort, threads,
        [&](std::vector<std::uint8_t> payload) {
            append(payload);
            progress.EntryWritten(addedFolders[pipeline.EntriesWritten() - 1], archiveFile.Size());
        },
        append);
    for (const InputEntry& entry : entries) {
        if (entry.isFolder) {
            addedFolders.push_back(true);
            pipeline.AddFolder(entry.archiveName);
            continue;
        }
        std::optional<OpenedInputFile> input = ReadOrLeaveOut(entry, leftOut, reporter);
        if (!input) {
            progress.FileLeftOut(entry.size);
            continue;
        }
        const std::string extension = ExtensionOf(entry.storedName);
        // Which earlier file this one starts from is tried out on the compressing thread.
        DeferredReference reference = chooser.Defer(writer, input->Contents(), extension);
        chooser.Remember(input->Contents(), extension);
        PreparedFile file = input->lent.owner != nullptr
                                ? writer.PrepareLentFile(entry.archiveName, input->times, std::move(input->lent), {})
                                : writer.PrepareFile(entry.archiveName, input->times, std::move(input->contents), {});
        file.chooseReference = std::move(reference);
        file.progress = progress.FileHook();
        addedFolders.push_back(false);
        pipeline.AddFile(std::move(file));
    }
    if (addedFolders.empty()) throw ToolError("nothing to pack: " + Count(leftOut.Count(), "input", "inputs") + " left out");
    pipeline.Finish();
    WithinSizeLimit(options.output, [&] { archiveFile.Finish(); });
    output.Commit();
    progress.Finish(pipeline.BytesWritten(), output.Size());
    return Conclude(leftOut, reporter);
}

}  // namespace quorvel::tool
