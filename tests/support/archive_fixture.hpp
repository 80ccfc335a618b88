// Shared pieces of the end-to-end tests: the texts every run prints, archives built from an
// entry writer, and the tree a run leaves behind.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "packer/archive_writer.hpp"
#include "packer/entry_writer.hpp"
#include "packer/item.hpp"
#include "packer/item_encoder.hpp"
#include "support/expander_runner.hpp"
#include "support/parts.hpp"
#include "support/sample_archive.hpp"

namespace quorvel::test {

inline const std::string kBanner =
    "*** Quorvel Expander 32 Ver. 1.60 ***  Quorvel Project, self-extracting archives\r\n";
inline const std::string kPressEnter = "Press Enter key.\a\r\n";
inline const std::string kReadError = "File read error.\r\n" + kPressEnter;
inline const std::string kWriteError = "File write error.\r\n" + kPressEnter;
inline const std::string kBroken = "This file is broken.\r\n" + kPressEnter;
inline const std::string kSmaller =
    "This file is smaller than original file.  Cannot expand.  Press ENTER key.\a\r\n";
inline const std::string kLarger =
    "This file is larger than original file.  This file might be infected with virus.  "
    "Cannot expand.  Press ENTER key.\a\r\n";

// Three distinct times, for entries whose times do not matter or are checked.
inline const EntryTimes kTimes{0x01D5'0000'1234'5678ULL, 0x01D6'1111'0000'0000ULL, 0x01D4'2222'3333'4444ULL};

inline Bytes Archive(const EntryWriter& entries, const ArchiveOptions& options = {}) {
    return BuildArchive(options, entries.Payload());
}

// done.txt, then big.bin: about a gigabyte of zero bytes, long enough to be interrupted
// while it is written once done.txt exists.
inline EntryWriter DoneThenAGigabyte(const EntryTimes& times) {
    std::vector<Item> items{LiteralItem(0)};
    const std::uint32_t matches = 250000;
    items.insert(items.end(), matches, MatchItem(4352, 1));
    EntryWriter entries;
    entries.AddFile("done.txt", times, ToBytes("done"));
    entries.AddRawFile({"big.bin", times, 1 + matches * 4352, {}, EncodeItems(items)});
    return entries;
}

inline std::string Expanding(const std::string& name) { return "expanding : " + name + " ... end.\r\n"; }

// What a run left in its folder: files with their contents and folders, by relative path
// with '/' between parts; the self-extracting file itself is left out.
struct Tree {
    std::map<std::string, std::string> files;
    std::set<std::string> folders;
};

inline Tree ReadTree(const std::filesystem::path& folder) {
    Tree tree;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string relative = std::filesystem::relative(entry.path(), folder).string();
        if (relative == "sfx.exe") continue;
        if (entry.is_directory()) {
            tree.folders.insert(relative);
        } else {
            tree.files[relative] = ReadText(entry.path());
        }
    }
    return tree;
}

inline Tree ReadTree(const TempFolder& folder) { return ReadTree(folder.path()); }

inline std::string AsText(const Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

// A FILETIME as nanoseconds since 1970.
inline std::int64_t UnixNanoseconds(std::uint64_t fileTime) {
    return (static_cast<std::int64_t>(fileTime) - 116444736000000000LL) * 100;
}

inline std::int64_t Nanoseconds(const timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1000000000LL + time.tv_nsec;
}

// Runs one test body against both builds.
class BothBuilds : public ::testing::TestWithParam<Build> {
protected:
    Build build() const { return GetParam(); }
    RunResult Run(const Bytes& archive, RunOptions options = {}) {
        RunResult result = RunArchive(build(), folder_, archive, std::move(options));
        EXPECT_FALSE(result.timedOut);
        return result;
    }
    TempFolder folder_;
};

}  // namespace quorvel::test
