// What each command of the tool was asked to do, as the command line gave it.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace quorvel::tool {

constexpr int kDefaultEffort = 6;
constexpr int kDefaultCodePage = 1252;

// More compression threads than this only hold more files in memory at once.
constexpr unsigned kMaxPackThreads = 256;

struct PackOptions {
    std::string output;
    std::vector<std::string> paths;
    std::optional<std::string> baseFolder;  // -C
    std::optional<std::string> stub;        // windows, native or a file; none: by OUTPUT's name
    std::optional<std::string> comment;      // UTF-8
    std::optional<std::string> commentFile;
    std::string runCommand;                 // UTF-8
    bool askPassword = false;
    std::optional<std::string> passwordFile;
    int codePage = kDefaultCodePage;
    bool allowUnportableNames = false;  // warn about names Windows cannot create, not refuse
    bool strict = false;                // an input that cannot be stored fails the pack at once
    int effort = kDefaultEffort;
    unsigned threads = 0;  // --threads: files compressed at once; 0: one per core available
    bool quiet = false;
    bool followFolderLinks = false;  // -L
    bool verbose = false;            // -v: each input skipped named
};

// What list, test and extract share: the archive, its code page and its password.
struct ReadOptions {
    std::string archive;
    std::optional<int> codePage;  // none given: guessed from the names
    std::optional<std::string> passwordFile;
};

struct ListOptions {
    ReadOptions read;
    bool json = false;
};

struct TestOptions {
    ReadOptions read;
    bool quiet = false;  // no progress line, and nothing on standard output when intact
};

// What to do with a file that already exists under an entry's name.
enum class Overwrite { Ask, Always, Never, Rename };

struct ExtractOptions {
    ReadOptions read;
    std::string folder = ".";
    std::vector<std::string> patterns;  // none: every entry
    std::optional<Overwrite> overwrite; // none given: ask on a terminal, else never
    bool quiet = false;
};

// The help of the tool or of one command ("" for the tool's own).
struct HelpRequest {
    std::string command;
};

struct VersionRequest {};

using Command =
    std::variant<HelpRequest, VersionRequest, PackOptions, ListOptions, TestOptions, ExtractOptions>;

}  // namespace quorvel::tool
