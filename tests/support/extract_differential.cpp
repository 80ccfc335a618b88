#include "support/extract_differential.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <set>

#include "reader/archive_header.hpp"
#include "support/expander_runner.hpp"

namespace quorvel::test {
namespace {

struct FileState {
    std::string contents;
    std::int64_t lastWrite;   // nanoseconds since 1970
    std::int64_t lastAccess;
    bool operator==(const FileState&) const = default;
};

struct TreeState {
    std::map<std::string, FileState> files;
    std::set<std::string> folders;
};

std::int64_t Nanoseconds(const timespec& time) { return std::int64_t{time.tv_sec} * 1000000000 + time.tv_nsec; }

// Read without moving the access times that are compared, and that the test reading the
// Expander's tree afterwards may check.
std::string ReadUntouched(const std::filesystem::path& file) {
    const int fd = open(file.c_str(), O_RDONLY | O_NOATIME | O_CLOEXEC);
    if (fd < 0) return "<unreadable>";
    std::string contents;
    char buffer[65536];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) contents.append(buffer, static_cast<std::size_t>(n));
    close(fd);
    return contents;
}

TreeState Snapshot(const std::filesystem::path& root, const std::filesystem::path& leftOut) {
    TreeState tree;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (entry.path() == leftOut) continue;
        const std::string relative = std::filesystem::relative(entry.path(), root).string();
        if (entry.is_directory()) {
            tree.folders.insert(relative);
            continue;
        }
        struct stat info {};
        lstat(entry.path().c_str(), &info);
        tree.files[relative] = {ReadUntouched(entry.path()), Nanoseconds(info.st_mtim), Nanoseconds(info.st_atim)};
    }
    return tree;
}

std::string Variable(const RunOptions& run, const char* name) {
    if (const auto given = run.environment.find(name); given != run.environment.end()) return given->second;
    const char* inherited = std::getenv(name);
    return inherited != nullptr ? inherited : "";
}

// The locale the Expander ran under, as it picks it.
std::string LocaleOf(const RunOptions& run) {
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"})
        if (std::string value = Variable(run, name); !value.empty()) return value;
    return "C";
}

int CodePageOf(const std::string& locale) {
    auto is = [&](const std::string& prefix) {
        return locale.starts_with(prefix) && (locale.size() == prefix.size() || std::string("_.@").find(locale[prefix.size()]) != std::string::npos);
    };
    if (is("ja")) return 932;
    if (is("ko")) return 949;
    if (is("zh_CN") || is("zh_SG")) return 936;
    if (is("zh_TW") || is("zh_HK")) return 950;
    return 1252;
}

bool IsUtf8Locale(const std::string& locale) {
    std::string codeset = locale.substr(locale.find('.') == std::string::npos ? locale.size() : locale.find('.') + 1);
    codeset = codeset.substr(0, codeset.find('@'));
    std::erase(codeset, '-');
    for (char& c : codeset) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return codeset == "utf8";
}

bool AllAscii(const TreeState& tree) {
    auto ascii = [](const std::string& name) {
        return std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    };
    return std::all_of(tree.files.begin(), tree.files.end(), [&](const auto& file) { return ascii(file.first); }) &&
           std::all_of(tree.folders.begin(), tree.folders.end(), ascii);
}

std::string RunCommandOf(const std::filesystem::path& sfx) {
    const std::vector<std::uint8_t> bytes = ReadBytes(sfx);
    reader::MemorySource source(bytes);
    return reader::ReadArchiveHeader(source).runCommand;
}

}  // namespace

void ExpectQuorvelExtractsTheSame(const std::filesystem::path& sfx, const std::filesystem::path& expanderFolder,
                                  const RunOptions& run) {
    // A run command may change the folder after the Expander made it; quorvel runs none.
    if (!RunCommandOf(sfx).empty()) return;
    const TreeState expected = Snapshot(expanderFolder, sfx);
    const std::string locale = LocaleOf(run);
    // Outside a UTF-8 locale the Expander writes names in the code page, quorvel in UTF-8.
    if (!IsUtf8Locale(locale) && !AllAscii(expected)) return;
    TempFolder folder;
    const RunResult extracted =
        RunProgram({std::string(QUORVEL_BIN_DIR) + "/quorvel", "extract", "-y", "-q", "--codepage",
                    std::to_string(CodePageOf(locale)), "-d", folder.path().string(), sfx.string()},
                   {});
    EXPECT_EQ(extracted.exitCode, 0) << "quorvel extract " << sfx << ": " << extracted.errors;
    const TreeState got = Snapshot(folder.path(), {});
    EXPECT_EQ(got.folders, expected.folders) << "quorvel extract " << sfx;
    EXPECT_EQ(got.files.size(), expected.files.size()) << "quorvel extract " << sfx;
    for (const auto& [name, state] : expected.files) {
        const auto file = got.files.find(name);
        if (file == got.files.end()) {
            ADD_FAILURE() << "quorvel extract " << sfx << " did not make " << name;
        } else {
            EXPECT_TRUE(file->second.contents == state.contents) << name << " differs";
            EXPECT_EQ(file->second.lastWrite, state.lastWrite) << name;
            EXPECT_EQ(file->second.lastAccess, state.lastAccess) << name;
        }
    }
}

}  // namespace quorvel::test
