// Opening an archive and reading its block stream, run against both Expander builds: the
// exact standard output and the exit code of each case.
#include <gtest/gtest.h>

#include <functional>

#include "format/header_fields.hpp"
#include "support/archive_fixture.hpp"
#include "support/payloads.hpp"

namespace quorvel::test {
namespace {

Bytes Archive(const ArchiveOptions& options, std::size_t payloadSize) {
    return BuildArchive(options, FolderEntries(payloadSize));
}

Bytes Header(const std::string& afterSize, std::uint32_t extraBytes = 0) {
    const std::string bytes = std::string(4, '\0') + afterSize;
    Bytes archive(bytes.begin(), bytes.end());
    StoreTotalSize(archive.data(), static_cast<std::uint32_t>(20480 + archive.size() + extraBytes));
    return archive;
}

struct Case {
    std::string name;
    std::function<Bytes()> archive;
    std::string input;
    std::string output;  // after the banner
    int exitCode;
};

std::vector<Case> Cases() {
    std::vector<Case> cases = {
        {"BareStub", [] { return Bytes{}; }, "", "This is core program.\a\r\n", 1},
        {"OneByteBehind", [] { return Bytes{0x01}; }, "", kReadError, 2},
        {"TwoBytesBehind", [] { return Bytes{0x01, 0x02}; }, "", kReadError, 2},
        {"ThreeBytesBehind", [] { return Bytes{0x01, 0x02, 0x03}; }, "", kReadError, 2},
        {"SmallerThanRecorded",
         [] {
             Bytes a = Archive({}, 10);
             StoreTotalSize(a.data(), static_cast<std::uint32_t>(20480 + a.size() + 1));
             return a;
         },
         "", kSmaller, 1},
        {"LargerThanRecorded",
         [] {
             Bytes a = Archive({}, 10);
             StoreTotalSize(a.data(), static_cast<std::uint32_t>(20480 + a.size() - 1));
             return a;
         },
         "", kLarger, 1},
        {"TotalSizeOf2To31CountsAsNegative",
         [] {
             Bytes a = Archive({}, 10);
             StoreTotalSize(a.data(), 0x80000000u);
             return a;
         },
         "", kLarger, 1},
        {"RefusalWaitsForOneLine",
         [] {
             Bytes a = Archive({}, 10);
             StoreTotalSize(a.data(), 0xFFFFFFFFu);
             return a;
         },
         "\r\n", kLarger, 1},
        {"EmptyCommentPrintsNothing", [] { return Archive({}, 10); }, "", "", 0},
        {"Comment", [] { return Archive({.comment = "Hello, world"}, 10); }, "", "Hello, world\r\n", 0},
        {"CommentWithLineBreaksAndBell",
         [] { return Archive({.comment = "line 1\r\nline 2\a"}, 10); }, "",
         "line 1\r\nline 2\a\r\n", 0},
        {"LongComment", [] { return Archive({.comment = std::string(300, 'c')}, 10); }, "",
         std::string(300, 'c') + "\r\n", 0},
        {"CommentRunsPastTheEnd", [] { return Header("no terminator"); }, "",
         "", 2},  // output checked below: the read error
        {"RunCommandRunsPastTheEnd", [] { return Header(std::string("c\0run", 5)); }, "",
         "c\r\n" + kReadError, 2},
        {"PasswordFlagMissing", [] { return Header(std::string("\0\0", 2)); }, "", "", 2},
        {"StoredCheckCutShort", [] { return Header(std::string("\0\0\x01\x02", 4)); }, "", "", 2},
        {"NoBlockStream", [] { return Header(std::string("\0\0\0", 3)); }, "", kReadError, 2},
        {"DamagedFirstBlock",
         [] {
             Bytes a = Archive({}, 100);
             a[10] ^= 0x01;
             return a;
         },
         "", kBroken, 2},
        {"DamagedSecondBlock",
         [] {
             Bytes a = Archive({}, 5000);
             a.back() ^= 0x80;
             return a;
         },
         "", kBroken, 2},
        {"EmptyLastBlockAfterFullBlock",
         [] {
             Bytes a = Archive({}, 4096);
             a.push_back(0);
             a.push_back(0);
             StoreTotalSize(a.data(), static_cast<std::uint32_t>(20480 + a.size()));
             return a;
         },
         "", kReadError, 2},
        {"StrayByteAfterLastBlock",
         [] {
             Bytes a = Archive({}, 4096);
             a.push_back(0x33);
             StoreTotalSize(a.data(), static_cast<std::uint32_t>(20480 + a.size()));
             return a;
         },
         "", kBroken, 2},
    };
    for (std::size_t size : {4, 4095, 4096, 4097, 8192, 8193, 20000}) {
        cases.push_back({"Payload" + std::to_string(size), [size] { return Archive({}, size); }, "", "", 0});
    }
    for (auto& c : cases) {
        if (c.exitCode == 2 && c.output.empty()) c.output = kReadError;
    }
    return cases;
}

class Opening : public ::testing::TestWithParam<std::tuple<Build, Case>> {};

TEST_P(Opening, PrintsAndEndsAsExpected) {
    const auto& [build, c] = GetParam();
    TempFolder folder;
    const RunResult result = RunArchive(build, folder, c.archive(), {.input = c.input});
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.output, kBanner + c.output);
    EXPECT_EQ(result.exitCode, c.exitCode);
}

INSTANTIATE_TEST_SUITE_P(BothBuilds, Opening,
                         ::testing::Combine(::testing::Values(Build::Native, Build::Windows),
                                            ::testing::ValuesIn(Cases())),
                         [](const auto& info) {
                             return BuildName(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name;
                         });

// The native build opens itself through its own link: neither a path of 300 bytes and more
// nor UTF-8 characters in it (which no conversion from the ANSI code page gives back) keep it
// from its archive.
TEST(NativeOpening, RunsFromALongPath) {
    TempFolder folder;
    std::filesystem::path deep = folder.path();
    while (deep.string().size() < 300) deep /= "f\xC3\xBCnf-und-zwanzig-Ordner";
    std::filesystem::create_directories(deep);
    Bytes bytes = StubBytes(Build::Native);
    const Bytes archive = Archive({.comment = "found"}, 10);
    bytes.insert(bytes.end(), archive.begin(), archive.end());
    WriteBytes(deep / "sfx", bytes);
    const RunResult result = RunSelfExtractor(Build::Native, deep / "sfx", {.environment = {{"LC_ALL", "C.UTF-8"}}});
    EXPECT_EQ(result.output, kBanner + "found\r\n");
    EXPECT_EQ(result.exitCode, 0);
}

// Any argument, as a Linux user's first "--help" would be, gets one line saying what the file
// is; nothing is unpacked and the run command is not started.
TEST(NativeOpening, AnArgumentOnlyTellsWhatTheFileIs) {
    TempFolder folder;
    EntryWriter entries;
    entries.AddFile("ran.sh", kTimes, ToBytes("#!/bin/sh\ntouch started\n"));
    Bytes bytes = StubBytes(Build::Native);
    const Bytes archive = BuildArchive({.runCommand = "ran.sh"}, entries.Payload());
    bytes.insert(bytes.end(), archive.begin(), archive.end());
    WriteBytes(folder / "setup.sfx", bytes);
    chmod((folder / "setup.sfx").c_str(), 0755);
    for (const char* argument : {"--help", "x"}) {
        SCOPED_TRACE(argument);
        const RunResult result =
            RunProgram({(folder / "setup.sfx").string(), argument}, {.workingFolder = folder.path().string()});
        EXPECT_EQ(result.output,
                  "This is a self-extracting archive: run it with no argument to unpack it here, or use quorvel list "
                  "or quorvel extract on it.\r\n");
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(ReadTree(folder).files, (std::map<std::string, std::string>{{"setup.sfx", AsText(bytes)}}));
    }
}

}  // namespace
}  // namespace quorvel::test
