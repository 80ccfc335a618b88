// quorvel list and test end to end: what list shows agrees with what was packed, and test
// passes every intact archive and names the first problem of every damaged one.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "format/archive_format.hpp"
#include "support/tool_fixture.hpp"

namespace quorvel::test {
namespace {

using Json = nlohmann::json;

std::uint64_t FileTimeOf(const timespec& time) {
    return (static_cast<std::uint64_t>(time.tv_sec) + 11644473600ULL) * 10000000ULL + static_cast<std::uint64_t>(time.tv_nsec) / 100;
}

// A self-extracting file of the given Expander build around entries written by hand.
Bytes WithStub(const Bytes& stub, const EntryWriter& entries, const ArchiveOptions& options = {}) {
    Bytes file = stub;
    const Bytes archive = Archive(entries, options);
    file.insert(file.end(), archive.begin(), archive.end());
    return file;
}

const Bytes& WindowsStub() {
    static const Bytes stub = ReadBytes(std::string(QUORVEL_STUB_DIR) + "/expander.exe");
    return stub;
}

class ReadCommands : public ::testing::Test {
protected:
    fs::path Archive() const { return work_ / "sample.sfx"; }
    RunResult Test(const Bytes& file, RunOptions options = {}) {
        WriteBytes(work_ / "t.sfx", file);
        return Quorvel({"test", (work_ / "t.sfx").string()}, options);
    }
    TempFolder work_;
};

TEST_F(ReadCommands, ListJsonAgreesWithWhatWasPacked) {
    const fs::path root = work_ / "in" / "sample";
    MakeSampleTree(root, 300);
    ASSERT_EQ(Quorvel({"pack", "-q", "--stub", "native", "--comment", "note", "--run", "sample\\docs\\big.txt", "-o",
                       Archive().string(), root.string()})
                  .exitCode,
              0);
    const RunResult listed = Quorvel({"list", "--json", Archive().string()});
    ASSERT_EQ(listed.exitCode, 0) << listed.errors;
    const Json document = Json::parse(listed.output);
    EXPECT_EQ(document["expander"], "native-x86_64");
    EXPECT_EQ(document["file_size"], fs::file_size(Archive()));
    EXPECT_EQ(document["total_size"], fs::file_size(Archive()));
    EXPECT_EQ(document["comment"], "note");
    EXPECT_EQ(document["run_command"], "sample\\docs\\big.txt");
    EXPECT_EQ(document["scrambled"], false);
    EXPECT_EQ(document["code_page"], 1252);

    std::map<std::string, Json> entries;
    std::uint64_t stored = 0;
    for (const Json& entry : document["entries"]) {
        entries[entry["name"]] = entry;
        stored += entry["stored"].get<std::uint64_t>();
    }
    std::size_t files = 0;
    for (const auto& item : fs::recursive_directory_iterator(root.parent_path())) {
        const std::string name = fs::relative(item.path(), root.parent_path()).string();
        ASSERT_TRUE(entries.count(name)) << name;
        const Json& entry = entries[name];
        if (item.is_directory()) {
            EXPECT_EQ(entry["kind"], "folder") << name;
            continue;
        }
        ++files;
        struct stat info;
        ASSERT_EQ(stat(item.path().c_str(), &info), 0);
        EXPECT_EQ(entry["kind"], "file") << name;
        EXPECT_EQ(entry["size"], fs::file_size(item.path())) << name;
        EXPECT_EQ(entry["last_write_filetime"], FileTimeOf(info.st_mtim)) << name;
    }
    EXPECT_EQ(entries.size(), document["entries"].size());
    EXPECT_EQ(document["totals"]["files"], files);
    EXPECT_EQ(stored, document["totals"]["stored"]);
    // Every data byte behind the Expander and the header belongs to an entry.
    const std::uint64_t blockStream = fs::file_size(Archive()) - StubSize - (4 + 5 + 20 + 1);
    EXPECT_EQ(stored, blockStream - 2 * ((blockStream + kBlockSize - 1) / kBlockSize));
    const Json& near = entries["sample/docs/near copy.txt"];
    EXPECT_GT(near["reference_back"], 0);
    EXPECT_GT(near["shared_prefix"], 0);

    const RunResult table = Quorvel({"list", Archive().string()});
    EXPECT_EQ(table.exitCode, 0);
    EXPECT_NE(table.output.find("Expander:   native x86_64"), std::string::npos) << table.output;
    EXPECT_NE(table.output.find("back " + std::to_string(near["reference_back"].get<int>()) + ", prefix "),
              std::string::npos);
    EXPECT_NE(table.output.find("  sample/docs/near copy.txt\n"), std::string::npos);
}

// Raw FILETIMEs and their ISO 8601 forms, down to the 100-nanosecond unit and past the
// year 9999; names from code page 932 in UTF-8 with '/' between parts.
TEST_F(ReadCommands, ListShowsTimesAndNamesAsStored) {
    EntryWriter entries;
    entries.AddFile("\x95\x5C\\\x95\x5C.txt", {0, 116444736000000000ULL, 0x01D5000012345678ULL}, ToBytes("x"));
    entries.AddFile("late", {0x7FFFFFFFFFFFFFFFULL, 2650467743999999999ULL, 1}, ToBytes("y"));
    entries.AddFolder("\x95\x5C");
    WriteBytes(Archive(), WithStub(WindowsStub(), entries));
    const RunResult listed = Quorvel({"list", "--json", "--codepage", "932", Archive().string()});
    ASSERT_EQ(listed.exitCode, 0) << listed.errors;
    const Json document = Json::parse(listed.output);
    EXPECT_EQ(document["expander"], "windows-i686");
    const Json& first = document["entries"][0];
    EXPECT_EQ(first["name"], "\xE8\xA1\xA8/\xE8\xA1\xA8.txt");
    EXPECT_EQ(first["creation_utc"], "1601-01-01T00:00:00.0000000Z");
    EXPECT_EQ(first["last_access_utc"], "1970-01-01T00:00:00.0000000Z");
    EXPECT_EQ(first["last_write_utc"], "2019-05-01T09:27:18.2717560Z");
    EXPECT_EQ(first["last_write_filetime"], 0x01D5000012345678ULL);
    const Json& late = document["entries"][1];
    EXPECT_EQ(late["creation_utc"], "+30828-09-14T02:48:05.4775807Z");
    EXPECT_EQ(late["last_access_utc"], "9999-12-31T23:59:59.9999999Z");
    EXPECT_EQ(document["entries"][2]["kind"], "folder");
    EXPECT_EQ(document["entries"][2]["name"], "\xE8\xA1\xA8");
}

TEST_F(ReadCommands, TestNamesTheFirstProblem) {
    MakeSampleTree(work_ / "in", 40);
    ASSERT_EQ(Quorvel({"pack", "-q", "--stub", "native", "-o", Archive().string(), (work_ / "in").string()}).exitCode, 0);
    const Bytes file = ReadBytes(Archive());
    const std::uint64_t payload = StubSize + 7;
    const std::uint64_t blocks = (file.size() - payload + kBlockSize - 1) / kBlockSize;
    ASSERT_GT(blocks, 10u);

    RunResult result = Test(file);
    EXPECT_EQ(result.exitCode, 0) << result.errors;
    EXPECT_NE(result.output.find("intact"), std::string::npos);
    // A bit flipped anywhere in a block, its check bytes included, names that block.
    for (std::uint64_t block = 0; block < blocks; ++block) {
        Bytes damaged = file;
        const std::uint64_t start = payload + block * kBlockSize;
        damaged[std::min<std::uint64_t>(start + (block * 611) % kBlockSize, file.size() - 1)] ^= 0x40;
        result = Test(damaged);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.errors.find("block " + std::to_string(block) + ", offset " + std::to_string(start) + ": "),
                  std::string::npos)
            << result.errors;
    }
    // Cut short by its maker (the total size says so too): the block where it ends.
    for (const std::uint64_t block : {std::uint64_t{2}, blocks / 2, blocks - 1}) {
        Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(payload + block * kBlockSize + 1000));
        for (int i = 0; i < 4; ++i) cut[StubSize + i] = static_cast<std::uint8_t>(cut.size() >> (8 * i));
        result = Test(cut);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.errors.find("block " + std::to_string(block) + ","), std::string::npos) << result.errors;
    }
    const struct {
        Bytes file;
        std::string message;
    } headerCases[] = {
        {Bytes(file.begin(), file.end() - 1), "the file is cut short"},
        {[&] { Bytes longer = file; longer.push_back(0); return longer; }(), "longer than its archive"},
        {Bytes(file.begin(), file.begin() + StubSize), "an Expander with no archive behind it"},
        {Bytes(file.begin(), file.begin() + 100), "not a self-extracting file"},
    };
    for (const auto& c : headerCases) {
        result = Test(c.file);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.errors.find(c.message), std::string::npos) << result.errors;
    }
}

TEST_F(ReadCommands, PasswordsUsageAndUnreadableFiles) {
    EntryWriter entries;
    entries.AddFile("secret.txt", {}, WordBytes(9000, 4));
    const Bytes scrambled = WithStub(StubBytes(Build::Native), entries, {.password = "pa\xDF", .passwordFlag = 7});
    std::ofstream(work_ / "right.txt") << "pa\xC3\x9F\n";  // UTF-8, stored in code page 1252
    std::ofstream(work_ / "wrong.txt") << "pass\n";
    WriteBytes(work_ / "t.sfx", scrambled);
    const std::string archive = (work_ / "t.sfx").string();
    const struct {
        std::vector<std::string> arguments;
        std::map<std::string, std::string> environment;
        int exitCode;
        std::string message;
    } cases[] = {
        {{"test", "--password-file", (work_ / "right.txt").string(), archive}, {}, 0, ""},
        {{"test", archive}, {{"QUORVEL_PASSWORD", "pa\xC3\x9F"}}, 0, ""},
        {{"test", "--password-file", (work_ / "wrong.txt").string(), archive}, {}, 1, "the password in"},
        {{"list", archive}, {{"QUORVEL_PASSWORD", "nope"}}, 1, "QUORVEL_PASSWORD is wrong"},
        {{"test", archive}, {}, 1, "the archive is scrambled: give its password"},
        {{"test", (work_ / "missing.sfx").string()}, {}, 2, "missing.sfx: cannot be read"},
        {{"list", work_.path().string()}, {}, 2, "is a folder"},
        {{"test"}, {}, 2, "quorvel test: no ARCHIVE given; see quorvel test --help"},
        {{"test", archive, archive}, {}, 2, "one ARCHIVE only"},
        {{"extract", "--overwrite=maybe", archive}, {}, 2, "see quorvel extract --help"},
        {{"extract", "-y", "-n", archive}, {}, 2, "excludes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.back());
        RunOptions options{.environment = c.environment};
        options.environment.emplace("QUORVEL_PASSWORD", "");  // empty: none, whatever the caller has
        const RunResult result = Quorvel(c.arguments, options);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.errors;
        EXPECT_NE(result.errors.find(c.message), std::string::npos) << result.errors;
    }
}

// Names the Expander refuses are problems; names only Windows cannot create are warnings,
// and only for the Windows Expander.
TEST_F(ReadCommands, TestChecksNames) {
    EntryWriter portable;
    portable.AddFile("aux.txt", {}, ToBytes("a"));
    portable.AddFile("Case.txt", {}, ToBytes("b"));
    portable.AddFile("case.TXT", {}, ToBytes("c"));
    RunResult result = Test(WithStub(WindowsStub(), portable));
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.errors.find("warning: "), std::string::npos);
    EXPECT_NE(result.errors.find("aux.txt: Windows reserves this name"), std::string::npos) << result.errors;
    EXPECT_NE(result.errors.find("Case.txt and case.TXT: "), std::string::npos) << result.errors;
    result = Test(WithStub(StubBytes(Build::Native), portable));
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.errors, "");

    EntryWriter unsafe;
    unsafe.AddFile("fine.txt", {}, ToBytes("f"));
    unsafe.AddFile("..\\up.txt", {}, ToBytes("u"));
    unsafe.AddFile(std::string(300, 'n'), {}, ToBytes("n"));
    result = Test(WithStub(StubBytes(Build::Native), unsafe));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.errors.find("entry \"../up.txt\": offset "), std::string::npos) << result.errors;
    EXPECT_NE(result.errors.find("could reach outside"), std::string::npos);
    EXPECT_NE(result.errors.find("longer than the Expander can create"), std::string::npos);
}

}  // namespace
}  // namespace quorvel::test
