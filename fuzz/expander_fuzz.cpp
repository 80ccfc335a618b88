// Fuzz target for the Expander itself, in-process: its header, block stream, password
// question and record loop over an archive in memory, extracting into a scratch folder.
// The input is laid out as archive_input.hpp says; its text is the Expander's standard
// input (passwords, answers to the overwrite question). Every exit of the Expander comes
// back here as an exception (the process-end hook), its own path names the archive in
// memory, and the folder is emptied after each input.
//
// Findings besides the sanitizers': an exit code other than 0, 1 or 2; anything made beside
// the folder extracted into; anything made by a run that refuses the archive (code 1); and
// a disagreement with the reader over the same bytes: a run that ends well where the reader
// finds a fault or an unsafe name, a file that is not what the reader decoded, or a refusal,
// a broken block or a read error where the reader finds no fault.

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>

#include "archive_input.hpp"
#include "expander/archive/block_stream.hpp"
#include "expander/archive/open_archive.hpp"
#include "expander/console/console.hpp"
#include "expander/extract/extract_entries.hpp"
#include "support/parts.hpp"

namespace quorvel::expander {
namespace {

char ArchivePath[261];

}  // namespace

// The archive the Expander opens as its own executable: the input, in a memory file.
bool GetOwnPath(char (&path)[261]) {
    std::snprintf(path, sizeof path, "%s", ArchivePath);
    return true;
}

}  // namespace quorvel::expander

// The Expander frees nothing, as its process ends after one run. Here it runs once per input
// and each run takes over the names' buffers of the run before (the fuzz build keeps them in
// static storage), so its memory stays flat and a leak check would only cost time. The other
// targets look for leaks in the reader and the packer.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

namespace quorvel::fuzz {
namespace {

namespace fs = std::filesystem;
using namespace quorvel::expander;

struct ProcessEnded {
    std::uint32_t code;
};

void ThrowProcessEnded(std::uint32_t code) { throw ProcessEnded{code}; }

struct ExpanderRun {
    std::uint32_t exitCode;
    std::string output;
};

class MemoryFile {
public:
    explicit MemoryFile(const char* name) : fd_(memfd_create(name, 0)) { Expect(fd_ >= 0, "memfd_create failed"); }
    int fd() const { return fd_; }
    void Fill(std::string_view bytes) {
        const auto size = static_cast<ssize_t>(bytes.size());
        Expect(ftruncate(fd_, 0) == 0 && pwrite(fd_, bytes.data(), bytes.size(), 0) == size &&
                   lseek(fd_, 0, SEEK_SET) == 0,
               "cannot fill a memory file");
    }
    std::string Contents() const {
        std::string text(static_cast<std::size_t>(lseek(fd_, 0, SEEK_END)), '\0');
        const auto size = static_cast<ssize_t>(text.size());
        Expect(pread(fd_, text.data(), text.size(), 0) == size, "cannot read a memory file");
        return text;
    }

private:
    int fd_;
};

// Sets every global of the Expander to where a process starts.
void ResetExpander(MemoryFile& input) {
    ResetConsole();
    StreamPosition = 0;
    BlockDataCount = 0;
    EndOfArchive = false;
    Scrambled = false;
    PasswordCheck = 0;
    KeyIndex = 1;
    Password.Clear();
    RunCommand.Clear();
    // The platform remembers whether the last byte read was a CR, after which a LF stays
    // alone; reading one other byte makes it forget, as at the start of a process.
    input.Fill("x");
    dup2(input.fd(), 0);
    char byte[2];
    ConsoleRead(byte, sizeof byte);
}

// The Expander's phases but the last: the run command is never opened here.
std::uint32_t Extract() {
    std::uint32_t exitCode = 0;
    try {
        OpenArchive();
        ExtractEntries();
        EndProgram(0);
    } catch (const ProcessEnded& end) {
        exitCode = end.code;
    }
    // Only the fatal exit closes the files; the others leave them to the process's end.
    CloseFile(ArchiveFile);
    CloseFile(OutputFile);
    GuardOutputFile(nullptr);
    return exitCode;
}

// Where the Expander runs: a folder to extract into, inside a fence folder that must hold
// nothing else; standard input and output in memory; files no larger than 8 MB.
class Scratch {
public:
    Scratch() {
        // In memory where the system has a place for it: making files on a disk costs far
        // more than the rest of a run.
        const fs::path base = access("/dev/shm", W_OK) == 0 ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string pattern = (base / "quorvel-expander-fuzz-XXXXXX").string();
        Expect(mkdtemp(pattern.data()) != nullptr, "mkdtemp failed");
        fence_ = pattern;
        folder_ = fence_ / "run";
        fs::create_directory(folder_);
        // Names reach the file system as stored, in code page 1252, as the reader reads them.
        setenv("LC_ALL", "C", 1);
        const rlimit fileSize{8 << 20, 8 << 20};
        setrlimit(RLIMIT_FSIZE, &fileSize);
        signal(SIGXFSZ, SIG_IGN);
        SetProcessEndHook(ThrowProcessEnded);
    }
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(fence_, ignored);
    }

    ExpanderRun Run(const Bytes& file, const std::string& typed) {
        archive_.Fill({reinterpret_cast<const char*>(file.data()), file.size()});
        std::snprintf(ArchivePath, sizeof ArchivePath, "/proc/self/fd/%d", archive_.fd());
        const int savedInput = dup(0), savedOutput = dup(1), home = open(".", O_RDONLY | O_DIRECTORY);
        ResetExpander(input_);
        input_.Fill(typed);
        output_.Fill("");
        dup2(input_.fd(), 0);
        dup2(output_.fd(), 1);
        Expect(chdir(folder_.c_str()) == 0, "cannot enter the scratch folder");
        const std::uint32_t exitCode = Extract();
        Expect(fchdir(home) == 0, "cannot go back to the working folder");
        dup2(savedInput, 0);
        dup2(savedOutput, 1);
        for (int fd : {savedInput, savedOutput, home}) close(fd);
        return {exitCode, output_.Contents()};
    }

    bool FenceHoldsOnlyTheFolder() const {
        int entries = 0;
        for (const auto& entry : fs::directory_iterator(fence_)) entries += entry.path() == folder_ ? 1 : 2;
        return entries == 1;
    }
    bool FolderIsEmpty() const { return fs::is_empty(folder_); }
    void Empty() {
        const int folder = open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        Expect(folder >= 0, "cannot open the scratch folder");
        RemoveInside(folder);
        close(folder);
    }
    const fs::path& folder() const { return folder_; }

private:
    // Removes everything inside the folder held by `folder`, one call a file: a run may
    // have made hundreds, and each system call counts.
    static void RemoveInside(int folder) {
        DIR* const listing = fdopendir(dup(folder));
        Expect(listing != nullptr, "cannot list the scratch folder");
        while (const dirent* entry = readdir(listing)) {
            const std::string_view name = entry->d_name;
            if (name == "." || name == "..") continue;
            if (entry->d_type != DT_DIR && unlinkat(folder, entry->d_name, 0) == 0) continue;
            const int inner = openat(folder, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (inner >= 0) {
                RemoveInside(inner);
                close(inner);
            }
            Expect(unlinkat(folder, entry->d_name, AT_REMOVEDIR) == 0, "cannot empty the scratch folder");
        }
        closedir(listing);
    }

    fs::path fence_;
    fs::path folder_;
    MemoryFile archive_{"archive"};
    MemoryFile input_{"input"};
    MemoryFile output_{"output"};
};

// Where a stored name lands in the C locale: backslashes separate folders.
fs::path SystemPath(std::string name) {
    for (char& c : name)
        if (c == '\\') c = '/';
    return fs::path(name).lexically_normal();
}

// Whether a regular file stands at `path` holding exactly `expected`: an open, a status and
// the reads, as a run may check hundreds of files (byte by byte, with every comparison
// traced, reading took most of a run's time).
bool HoldsExactly(const fs::path& path, std::span<const std::uint8_t> expected) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat status;
    bool same = fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
                static_cast<std::uint64_t>(status.st_size) == expected.size();
    static Bytes held;
    held.resize(expected.size());
    for (std::size_t done = 0; same && done < held.size();) {
        const ssize_t got = read(fd, held.data() + done, held.size() - done);
        same = got > 0;
        done += same ? static_cast<std::size_t>(got) : 0;
    }
    close(fd);
    return same && std::ranges::equal(held, expected);
}

// A file name whose last part is "." (or nothing) names a folder, the one extracted into
// included: something already stands there, so the file was asked about.
bool NamesAFolder(const fs::path& path) { return path == "." || !path.has_filename(); }

// After a run that ended well, every file with a name of its own holds what the reader
// decoded. A name given twice was asked about, and one that also names a folder skipped.
void ExpectFilesAsRead(const fs::path& folder, const ReadOutcome& read) {
    std::map<fs::path, int> fileCount;
    std::set<fs::path> folders;
    for (const ReadEntry& e : read.entries) {
        const fs::path path = SystemPath(e.entry.name);
        if (e.entry.kind == reader::EntryKind::File) {
            ++fileCount[path];
        } else {
            folders.insert(path);
        }
        for (fs::path parent = path.parent_path(); parent.has_relative_path(); parent = parent.parent_path())
            folders.insert(parent);
    }
    for (const ReadEntry& e : read.entries) {
        const fs::path path = SystemPath(e.entry.name);
        if (e.entry.kind != reader::EntryKind::File || fileCount[path] != 1 || folders.contains(path) ||
            NamesAFolder(path))
            continue;
        Expect(HoldsExactly(folder / path, e.data),
               "a file extracted is not what the reader decoded");
    }
}

void ExpectAgreement(const Scratch& scratch, const ExpanderRun& run, const ReadOutcome& read) {
    Expect(run.exitCode <= 2, "the Expander ended with a code other than 0, 1 or 2");
    Expect(scratch.FenceHoldsOnlyTheFolder(), "the Expander made something outside its folder");
    if (run.exitCode == 1) Expect(scratch.FolderIsEmpty(), "the Expander made something, then refused the archive");
    if (!read.error) {
        Expect(run.exitCode != 1, "the Expander refused an archive the reader opens");
        Expect(!run.output.ends_with("This file is broken.\r\nPress Enter key.\a\r\n") &&
                   !run.output.ends_with("File read error.\r\nPress Enter key.\a\r\n"),
               "the Expander found a fault where the reader finds none");
    }
    if (run.exitCode != 0) return;
    Expect(!read.error, "the Expander extracted an archive the reader refuses");
    for (const ReadEntry& e : read.entries) Expect(!e.entry.unsafe, "the Expander extracted an unsafe name");
    ExpectFilesAsRead(scratch.folder(), read);
}

}  // namespace

std::vector<Bytes> SeedInputs() {
    std::vector<Bytes> seeds;
    for (const SeedArchive& seed : SeedArchives()) {
        const std::string typed = seed.password.empty() ? "Y\r\nn\r\n" : "wrong\r\n" + seed.password + "\r\n";
        seeds.push_back(EncodeArchiveInput(kFixTotalSize | kResealBlocks, typed, seed.archive));
    }
    return seeds;
}

}  // namespace quorvel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvel::fuzz;
    static Scratch scratch;
    ArchiveInput input = ParseArchiveInput({data, size});
    const auto header = HeaderOf(input.file);
    const std::string password = header ? AcceptedPassword(input.text, *header) : std::string();
    if (header && (input.options & kResealBlocks)) ResealBlocks(input.file, *header, password);
    // The reader first: an archive that decodes to more than it collects is left out, so
    // that no run writes or decodes without bound.
    const ReadOutcome read = ReadWithReader(input.file, {.password = password}, true);
    if (read.capped) return 0;
    const ExpanderRun run = scratch.Run(input.file, input.text);
    ExpectAgreement(scratch, run, read);
    scratch.Empty();
    return 0;
}
