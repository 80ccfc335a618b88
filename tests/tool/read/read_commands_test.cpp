// quorvel list and test end to end: what list shows agrees with what was packed, and test
// passes every intact archive and names the first problem of every damaged one; a file that
// is no archive is told as such by every command; the code page is guessed from the names;
// every JSON document list writes matches doc/list.schema.json.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <functional>
#include <set>
#include <nlohmann/json.hpp>

#include "format/archive_format.hpp"
#include "support/json_schema.hpp"
#include "support/tool_fixture.hpp"

namespace quorvel::test {
namespace {

using Json = nlohmann::json;

const JsonSchema& ListSchema() {
    static const JsonSchema schema = JsonSchema::FromFile(QUORVEL_LIST_SCHEMA);
    return schema;
}

struct Listed {
    RunResult run;
    Json document;
};

// quorvel list --json with no password in the environment; its document checked against the
// schema.
Listed ListJson(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"list", "--json"});
    Listed listed{Quorvel(arguments, {.environment = {{"QUORVEL_PASSWORD", ""}}}), {}};
    listed.document = Json::parse(listed.run.output);
    for (const std::string& violation : ListSchema().Violations(listed.document))
        ADD_FAILURE() << "the document breaks the schema: " << violation << "\n" << listed.run.output;
    return listed;
}

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
    const auto [listed, document] = ListJson({Archive().string()});
    ASSERT_EQ(listed.exitCode, 0) << listed.errors;
    EXPECT_EQ(document["expander"], "native-x86_64");
    EXPECT_EQ(document["file_size"], fs::file_size(Archive()));
    EXPECT_EQ(document["total_size"], fs::file_size(Archive()));
    EXPECT_EQ(document["comment"], "note");
    EXPECT_EQ(document["run_command"], "sample\\docs\\big.txt");
    EXPECT_EQ(document["scrambled"], false);
    EXPECT_EQ(document["code_page"], 1252);
    EXPECT_EQ(document["code_page_guessed"], true);

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
    const auto [listed, document] = ListJson({"--codepage", "932", Archive().string()});
    ASSERT_EQ(listed.exitCode, 0) << listed.errors;
    EXPECT_EQ(document["expander"], "windows-i686");
    EXPECT_EQ(document["code_page_guessed"], false);
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
        {{"extract", "--overwrite=maybe", archive}, {}, 2,
         "quorvel extract: --overwrite takes ask, always, never or rename, not \"maybe\"; see quorvel extract --help\n"},
        {{"extract", "--overwrite=1", archive}, {}, 2, "--overwrite takes ask, always, never or rename, not \"1\""},
        {{"extract", "--overwrite", archive}, {}, 2, "not \"" + archive + "\""},
        {{"extract", "-y", "-n", archive}, {}, 2, "excludes"},
        {{"list", "--codepage", "65001", archive}, {}, 2, "--codepage takes 932, 936, 949, 950 or 1252"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.back());
        RunOptions options{.environment = c.environment};
        options.environment.emplace("QUORVEL_PASSWORD", "");  // empty: none, whatever the caller has
        const RunResult result = Quorvel(c.arguments, options);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.errors;
        EXPECT_NE(result.errors.find(c.message), std::string::npos) << result.errors;
        if (c.exitCode == 2) {
            EXPECT_EQ(std::count(result.errors.begin(), result.errors.end(), '\n'), 1) << result.errors;
        }
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

// Files with no archive behind their first 20480 bytes, and archives with each problem that
// ends the reading, through every command: the same problem in each, the JSON document
// whole, and nothing made by extract before the entries.
TEST_F(ReadCommands, EveryProblemThroughEveryCommand) {
    MakeSampleTree(work_ / "in", 5);
    ASSERT_EQ(Quorvel({"pack", "-q", "--stub", "native", "-o", Archive().string(), (work_ / "in").string()}).exitCode, 0);
    const Bytes archive = ReadBytes(Archive());
    const auto file = [&](const std::string& name, const Bytes& bytes) {
        WriteBytes(work_ / name, bytes);
        return work_ / name;
    };
    const fs::path zip = work_ / "in.zip";
    ASSERT_EQ(RunProgram({"zip", "-q", "-0", "-r", zip.string(), (work_ / "in").string()}, {}).exitCode, 0);
    EntryWriter secret;
    secret.AddFile("secret.txt", {}, WordBytes(9000, 4));
    Bytes damaged = archive;
    damaged[StubSize + 7 + kBlockSize + 100] ^= 1;
    const struct {
        std::string name;
        fs::path file;
        std::string problem;
        int exitCode;
        std::string message;
    } cases[] = {
        {"program", file("ls", ReadBytes("/bin/ls")), "not_an_archive", 1, "not a self-extracting file"},
        {"text", file("text.txt", WordBytes(60000, 7)), "not_an_archive", 1, "not a self-extracting file"},
        {"zip", zip, "not_an_archive", 1, "not a self-extracting file"},
        {"short", file("short", Bytes(100, 'x')), "not_an_archive", 1, "fewer than an Expander's 20480"},
        {"bare", file("bare", StubBytes(Build::Native)), "bare_stub", 1, "an Expander with no archive behind it"},
        {"cut", file("cut", Bytes(archive.begin(), archive.end() - 1)), "smaller", 1, "the file is cut short"},
        {"longer", file("longer", [&] { Bytes longer = archive; longer.push_back(0); return longer; }()), "larger", 1,
         "longer than its archive"},
        {"damaged", file("damaged", damaged), "broken_block", 1, "block 1, offset"},
        {"locked", file("locked", WithStub(StubBytes(Build::Native), secret, {.password = "pw", .passwordFlag = 1})),
         "wrong_password", 1, "the archive is scrambled: give its password"},
        {"missing", work_ / "missing.sfx", "unreadable", 2, "missing.sfx: cannot be read"},
        {"folder", work_ / "in", "unreadable", 2, "in: is a folder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto [listed, document] = ListJson({c.file.string()});
        EXPECT_EQ(listed.exitCode, c.exitCode);
        EXPECT_EQ(document["error"]["problem"], c.problem) << listed.output;
        const bool opened = c.problem != "unreadable";
        EXPECT_EQ(document["file_size"], opened ? Json(fs::file_size(c.file)) : Json(nullptr));
        const fs::path out = work_ / ("out-" + c.name);
        for (const std::vector<std::string>& command :
             {std::vector<std::string>{"list"}, {"test"}, {"extract", "-d", out.string()}}) {
            std::vector<std::string> arguments = command;
            arguments.push_back(c.file.string());
            const RunResult result = Quorvel(arguments, {.environment = {{"QUORVEL_PASSWORD", ""}}});
            EXPECT_EQ(result.exitCode, c.exitCode) << command[0];
            EXPECT_NE(result.errors.find(c.message), std::string::npos) << command[0] << ": " << result.errors;
        }
        if (c.problem != "broken_block") {
            EXPECT_FALSE(fs::exists(out)) << "extract made its folder";
        }
    }
}

// The schema check itself finds what breaks the schema, so that a document passing it says
// something.
TEST(ListSchema, FindsWhatBreaksIt) {
    const Json valid = Json::parse(R"({"archive": "a", "expander": "unknown", "file_size": 5, "entries": [],
        "error": {"problem": "not_an_archive", "message": "m", "entry": null, "block": null, "offset": null}})");
    EXPECT_TRUE(ListSchema().Violations(valid).empty());
    const std::function<void(Json&)> breakings[] = {
        [](Json& d) { d.erase("expander"); },
        [](Json& d) { d["file_size"] = "5"; },
        [](Json& d) { d["expander"] = "dos"; },
        [](Json& d) { d["extra"] = true; },
        [](Json& d) { d["error"]["block"] = -1; },
        [](Json& d) { d["entries"].push_back({{"name", "x"}, {"kind", "file"}}); },
        [](Json& d) { d["totals"] = {{"files", 0}, {"folders", 0}, {"size", 0}, {"stored", 0}, {"ratio", nullptr}}; },
        [](Json& d) { d.erase("error"); },
        [](Json& d) { d["total_size"] = 5; },
    };
    for (std::size_t i = 0; i < std::size(breakings); ++i) {
        Json broken = valid;
        breakings[i](broken);
        EXPECT_FALSE(ListSchema().Violations(broken).empty()) << i << ": " << broken.dump();
    }
}

// Without --codepage the code page is guessed from the names, a password beyond ASCII
// narrowing it down; the guess is told, and --codepage overrides it.
TEST_F(ReadCommands, GuessesTheCodePageFromTheNames) {
    const struct {
        int codePage;
        std::vector<std::string> names;
        std::string password;  // UTF-8; none when empty
    } cases[] = {
        {932, {"\u65E5\u672C\u8A9E/\u8868.txt", "\u30C6\u30B9\u30C8.txt"}, ""},
        {932, {"\u8AAC\u660E\u66F8.pdf"}, "\u30D1\u30B9"},
        {936, {"\u4E2D\u6587\u6587\u4EF6.txt", "\u8BF4\u660E\u4E66.pdf"}, ""},
        {949, {"\uD55C\uAD6D\uC5B4 \uD30C\uC77C.txt", "\uC124\uBA85\uC11C.pdf"}, ""},
        {950, {"\u7E41\u9AD4\u4E2D\u6587\u6A94\u6848.txt", "\u8AAA\u660E\u66F8.pdf"}, ""},
        {1252, {"caf\u00E9.txt", "Gr\u00FC\u00DFe/na\u00EFve r\u00E9sum\u00E9.doc"}, ""},
        {1252, {"plain/ascii.txt"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.names.front());
        fs::remove_all(work_ / "in");
        for (const std::string& name : c.names) WriteFile(work_ / "in" / name, ToBytes(name));
        std::vector<std::string> pack = {"pack", "-q", "--stub", "native", "--codepage", std::to_string(c.codePage),
                                         "-o", Archive().string(), (work_ / "in").string()};
        RunOptions reading{.environment = {{"QUORVEL_PASSWORD", c.password}}};
        if (!c.password.empty()) {
            std::ofstream(work_ / "password") << c.password;
            pack.insert(pack.begin() + 1, {"--password-file", (work_ / "password").string()});
        }
        ASSERT_EQ(Quorvel(pack).exitCode, 0);
        const RunResult listed = Quorvel({"list", "--json", Archive().string()}, reading);
        ASSERT_EQ(listed.exitCode, 0) << listed.errors;
        const Json document = Json::parse(listed.output);
        EXPECT_EQ(document["code_page"], c.codePage);
        EXPECT_EQ(document["code_page_guessed"], true);
        std::set<std::string> names;
        for (const Json& entry : document["entries"])
            if (entry["kind"] == "file") names.insert(entry["name"].get<std::string>().substr(3));  // "in/"
        EXPECT_EQ(names, std::set<std::string>(c.names.begin(), c.names.end()));

        const RunResult tested = Quorvel({"test", Archive().string()}, reading);
        EXPECT_EQ(tested.exitCode, 0) << tested.errors;
        const bool ascii = c.names.front() == "plain/ascii.txt";
        EXPECT_EQ(tested.errors, ascii ? "" : "quorvel: note: names read as code page " + std::to_string(c.codePage) +
                                                  " (guessed; --codepage sets it)\n");
        const std::string other = c.password.empty() ? "1252" : std::to_string(c.codePage);
        const RunResult given = Quorvel({"list", "--json", "--codepage", other, Archive().string()}, reading);
        EXPECT_EQ(Json::parse(given.output)["code_page"], std::stoi(other));
        EXPECT_EQ(Json::parse(given.output)["code_page_guessed"], false);
    }
    // A name beyond ASCII only past the names the guess reads ahead is told when met.
    fs::remove_all(work_ / "in");
    WriteFile(work_ / "in" / "a.bin", RandomBytes(5 << 20, 1));
    WriteFile(work_ / "in" / "b\u8868.txt", ToBytes("x"));
    ASSERT_EQ(Quorvel({"pack", "-q", "-1", "--stub", "native", "--codepage", "932", "-o", Archive().string(),
                       (work_ / "in").string()})
                  .exitCode,
              0);
    const RunResult late = Quorvel({"test", Archive().string()});
    EXPECT_EQ(late.exitCode, 0);
    EXPECT_EQ(late.errors, "quorvel: note: names past the first 4 MB hold bytes beyond ASCII, read as code page 1252; "
                           "if they look wrong, --codepage sets it\n");
}

}  // namespace
}  // namespace quorvel::test
