#include "tool/pack_command.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>

#include "format/archive_format.hpp"
#include "format/crc16.hpp"
#include "packer/archive_writer.hpp"
#include "packer/entry_writer.hpp"
#include "tool/code_page.hpp"
#include "tool/embedded_stubs.hpp"
#include "tool/file_times.hpp"
#include "tool/input_tree.hpp"
#include "tool/output_file.hpp"
#include "tool/password_prompt.hpp"
#include "tool/payload_pipeline.hpp"
#include "tool/portable_names.hpp"
#include "tool/reference_choice.hpp"
#include "tool/tool_error.hpp"

namespace quorvel::tool {

const char kPackUsage[] =
    "usage: quorvel pack [options] -o OUTPUT PATH...\n"
    "\n"
    "Makes OUTPUT, a self-extracting file: an Expander followed by an archive of the given\n"
    "files and folders (folders are walked recursively). Stored names are relative to each\n"
    "PATH's parent folder.\n"
    "\n"
    "options:\n"
    "  -o OUTPUT              the self-extracting file to write\n"
    "  -C DIR                 take PATHs relative to DIR and store them as given\n"
    "  --stub windows|native|FILE\n"
    "                         the Expander in front: the Windows one (default), the native\n"
    "                         one of this system, or a 20480-byte FILE\n"
    "  --comment TEXT         shown when the file is run\n"
    "  --comment-file FILE    the comment from a file\n"
    "  --run COMMAND          the document or program to open after extraction\n"
    "  --password             scramble with a password asked on the terminal\n"
    "  --password-file FILE   scramble with the first line of FILE\n"
    "  --codepage N           the code page of the Expander's users: 932, 936, 949, 950 or\n"
    "                         1252 (default); names, comment and command are converted\n"
    "  --allow-unportable-names\n"
    "                         for the Windows Expander, only warn about names that Windows\n"
    "                         cannot create as stored (names equal but for letter case, CON,\n"
    "                         AUX.TXT, <>:\"|?* and control characters, a final period or\n"
    "                         blank) instead of refusing them\n"
    "  -1 .. -9               compression effort: -1 fastest, -9 smallest (default -6);\n"
    "                         from -4 on, each literal and match is chosen by its cost in bits\n"
    "  -q                     no progress line\n"
    "  --help                 this text\n";

namespace {

std::string ReadWholeFile(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw ToolError(file + ": cannot be read");
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The whole file; its size is checked before anything is read.
std::vector<std::uint8_t> ReadContents(const std::filesystem::path& file) {
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw ToolError(file.string() + ": cannot be read (" + std::strerror(errno) + ")");
    std::vector<std::uint8_t> bytes;
    try {
        struct stat info;
        if (fstat(fd, &info) != 0) throw ToolError(file.string() + ": " + std::strerror(errno));
        if (info.st_size > 0x7FFFFFFF) throw ToolError(file.string() + ": 2^31 bytes or more cannot be stored");
        bytes.resize(static_cast<std::size_t>(info.st_size));
        std::size_t got = 0;
        for (;;) {
            if (got == bytes.size()) bytes.resize(got + 65536);  // the file may have grown
            const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) throw ToolError(file.string() + ": cannot be read (" + std::strerror(errno) + ")");
            if (n == 0) break;
            got += static_cast<std::size_t>(n);
            if (got > 0x7FFFFFFF) throw ToolError(file.string() + ": 2^31 bytes or more cannot be stored");
        }
        bytes.resize(got);
    } catch (...) {
        close(fd);
        throw;
    }
    close(fd);
    return bytes;
}

std::vector<std::uint8_t> ChooseStub(const std::string& stub) {
    std::vector<std::uint8_t> bytes;
    if (stub == "windows" || stub == "native") {
        const std::span<const std::uint8_t> built = stub == "windows" ? WindowsStub() : NativeStub();
        bytes.assign(built.begin(), built.end());
    } else {
        bytes = ReadContents(stub);
    }
    if (bytes.size() != static_cast<std::size_t>(StubSize))
        throw ToolError(stub + ": an Expander must be exactly 20480 bytes, not " + std::to_string(bytes.size()));
    return bytes;
}

// A stored name in the code page, refused when the Expander could not take it back as the
// same name.
std::string ArchiveName(const InputEntry& entry, int codePage) {
    const std::string name = FromUtf8(entry.storedName, codePage, entry.source.string());
    if (name.size() > 259) throw ToolError(entry.source.string() + ": the stored name is longer than 259 bytes");
    if (name[0] == '*') throw ToolError(entry.source.string() + ": a stored name cannot begin with '*'");
    // A last character ending in the byte 0x5C followed by a period would read as a folder.
    if (!entry.isFolder && name.size() >= 2 && name.compare(name.size() - 2, 2, "\\.") == 0)
        throw ToolError(entry.source.string() + ": the stored name would read as a folder");
    return name;
}

// Whether the archive goes behind the Windows Expander. A stub FILE counts as one when it is
// a Windows program.
bool IsWindowsStubChoice(const PackOptions& options, std::span<const std::uint8_t> stub) {
    if (options.stub == "windows") return true;
    if (options.stub == "native") return false;
    return stub.size() >= 2 && stub[0] == 'M' && stub[1] == 'Z';
}

// Refuses names that Windows cannot create as stored, naming each problem's files; with
// --allow-unportable-names they are only warned about.
void CheckPortableNames(const std::vector<InputEntry>& entries, const std::vector<std::string>& names,
                        const PackOptions& options, const WarningSink& warn) {
    std::vector<std::string> storedNames;
    std::map<std::string, std::string> sourceOf;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        storedNames.push_back(entries[i].isFolder ? names[i] + "\\." : names[i]);
        sourceOf[storedNames.back()] = entries[i].source.string();
    }
    bool refused = false;
    for (const NameProblem& problem : FindUnportableNames(storedNames, options.codePage)) {
        std::string text;
        for (const std::string& name : problem.names) {
            const auto source = sourceOf.find(name);  // a folder given only as part of a -C path has none
            text += (text.empty() ? "" : " and ") + (source != sourceOf.end() ? source->second : name);
        }
        text += ": " + problem.message;
        if (problem.warningOnly || options.allowUnportableNames) {
            warn(text);
        } else {
            std::cerr << "quorvel: " << text << "\n";
            refused = true;
        }
    }
    if (refused) throw ToolError("Windows cannot create these names as stored; --allow-unportable-names packs them anyway");
}

class Progress {
public:
    explicit Progress(bool shown) : shown_(shown) {}
    void Update(std::size_t files, std::size_t total, std::uint64_t bytesIn, std::uint64_t bytesOut, bool last) {
        if (!shown_) return;
        const auto now = std::chrono::steady_clock::now();
        if (!last && now - shownAt_ < std::chrono::milliseconds(100)) return;
        shownAt_ = now;
        const double ratio = bytesIn == 0 ? 0.0 : 100.0 * static_cast<double>(bytesOut) / static_cast<double>(bytesIn);
        std::fprintf(stderr, "\r%zu/%zu files, %.1f MB in, %.1f MB out (%.1f%%)%s", files, total,
                     static_cast<double>(bytesIn) / 1e6, static_cast<double>(bytesOut) / 1e6, ratio, last ? "\n" : "");
        std::fflush(stderr);
    }

private:
    bool shown_;
    std::chrono::steady_clock::time_point shownAt_{};
};

std::string PasswordOf(const PackOptions& options) {
    if (!options.askPassword && !options.passwordFile) return "";
    const std::string password = options.passwordFile ? ReadPasswordFile(*options.passwordFile) : AskNewPassword();
    if (password.empty()) throw ToolError("the password is empty");
    return FromUtf8(password, options.codePage, "the password");
}

int ParseEffort(std::string_view argument) {
    if (argument.size() == 2 && argument[0] == '-' && argument[1] >= '1' && argument[1] <= '9') return argument[1] - '0';
    return 0;
}

}  // namespace

PackOptions ParsePackOptions(const std::vector<std::string_view>& arguments) {
    PackOptions options;
    bool commentGiven = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= arguments.size()) throw UsageError(std::string(argument) + " needs a value");
            return std::string(arguments[++i]);
        };
        if (argument == "-o") {
            options.output = value();
        } else if (argument == "-C") {
            options.baseFolder = value();
        } else if (argument == "--stub") {
            options.stub = value();
        } else if (argument == "--comment" || argument == "--comment-file") {
            if (commentGiven) throw UsageError("give the comment only once");
            commentGiven = true;
            options.comment = argument == "--comment" ? value() : ReadWholeFile(value());
        } else if (argument == "--run") {
            options.runCommand = value();
        } else if (argument == "--password") {
            options.askPassword = true;
        } else if (argument == "--password-file") {
            options.passwordFile = value();
        } else if (argument == "--codepage") {
            const std::string page = value();
            options.codePage = std::atoi(page.c_str());
            if (!IsSupportedCodePage(options.codePage) || std::to_string(options.codePage) != page)
                throw UsageError("--codepage takes 932, 936, 949, 950 or 1252, not " + page);
        } else if (int effort = ParseEffort(argument); effort != 0) {
            options.effort = effort;
        } else if (argument == "--allow-unportable-names") {
            options.allowUnportableNames = true;
        } else if (argument == "-q") {
            options.quiet = true;
        } else if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument.size() > 1 && argument[0] == '-') {
            throw UsageError("unknown option " + std::string(argument));
        } else {
            options.paths.emplace_back(argument);
        }
    }
    if (options.help) return options;
    if (options.askPassword && options.passwordFile) throw UsageError("give --password or --password-file, not both");
    if (options.output.empty()) throw UsageError("no output given (-o OUTPUT)");
    if (options.paths.empty()) throw UsageError("nothing to pack: give one PATH or more");
    return options;
}

int RunPack(const PackOptions& options) {
    const WarningSink warn = [](const std::string& text) { std::cerr << "quorvel: warning: " << text << "\n"; };
    std::optional<std::filesystem::path> base;
    if (options.baseFolder) base = *options.baseFolder;
    std::vector<InputEntry> entries = CollectInputs(options.paths, base, warn);
    OrderForArchive(entries);
    if (entries.empty()) throw ToolError("nothing to pack");

    ArchiveOptions archive;
    archive.comment = FromUtf8(options.comment, options.codePage, "the comment");
    archive.runCommand = FromUtf8(options.runCommand, options.codePage, "the run command");
    if (archive.comment.find('\0') != std::string::npos) throw ToolError("the comment holds a zero byte");
    archive.password = PasswordOf(options);
    if (!archive.password.empty()) {
        // Fixed by the password, so that the same inputs give the same file.
        const auto* key = reinterpret_cast<const std::uint8_t*>(archive.password.data());
        archive.passwordFlag = static_cast<std::uint8_t>(1 + Crc16(key, archive.password.size()) % 255);
    }
    std::vector<std::string> names;
    for (const InputEntry& entry : entries) {
        names.push_back(ArchiveName(entry, options.codePage));
        std::error_code error;
        if (!entry.isFolder && std::filesystem::file_size(entry.source, error) > 0x7FFFFFFF && !error)
            throw ToolError(entry.source.string() + ": 2^31 bytes or more cannot be stored");
    }
    const std::vector<std::uint8_t> stub = ChooseStub(options.stub);
    if (IsWindowsStubChoice(options, stub)) CheckPortableNames(entries, names, options, warn);

    OutputFile output(options.output);
    output.Write(stub);
    std::vector<std::uint8_t> header = BuildHeader(archive);
    output.Write(header);
    BlockStreamWriter blocks(archive.password, [&](std::span<const std::uint8_t> block) {
        output.Write(block);
        if (output.Size() > 0x7FFFFFFF) throw ToolError(options.output + ": the archive would reach 2^31 bytes");
    });

    EntryWriter writer(options.effort);
    ReferenceChooser chooser(options.effort);
    Progress progress(!options.quiet && isatty(STDERR_FILENO));
    PayloadPipeline pipeline(writer, options.effort, [&](std::vector<std::uint8_t> payload) {
        blocks.Append(payload);
        progress.Update(pipeline.EntriesWritten(), entries.size(), pipeline.BytesWritten(), output.Size(), false);
    });
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const InputEntry& entry = entries[i];
        if (entry.isFolder) {
            pipeline.AddFolder(names[i]);
            continue;
        }
        std::vector<std::uint8_t> contents = ReadContents(entry.source);
        const std::string extension = ExtensionOf(entry.storedName);
        const EntryReference reference = chooser.Choose(writer, contents, extension);
        chooser.Remember(contents, extension);
        pipeline.AddFile(writer.PrepareFile(names[i], ReadFileTimes(entry.source), std::move(contents), reference));
    }
    pipeline.Finish();
    blocks.Finish();
    PatchTotalSize(header, output.Size());
    output.WriteAt(stub.size(), std::span<const std::uint8_t>(header).first(4));
    output.Commit();
    progress.Update(entries.size(), entries.size(), pipeline.BytesWritten(), output.Size(), true);
    return kExitSuccess;
}

}  // namespace quorvel::tool
