// Scrambled archives and the password question, names an archive may not use, and names
// with double-byte characters, against both builds.
#include <gtest/gtest.h>

#include "format/crc16.hpp"
#include "support/archive_fixture.hpp"

namespace quorvel::test {
namespace {

const EntryTimes kTimes{0x01D0'0000'0000'0000ULL, 0x01D0'0000'0000'0000ULL, 0x01D0'0000'0000'0000ULL};
const std::string kPrompt = "Password : ";

// Big enough that the key runs on across blocks (the data does not compress).
EntryWriter SecretEntries() {
    EntryWriter entries;
    entries.AddFile("secret.bin", kTimes, RandomBytes(10000, 42));
    return entries;
}

// Input, how many prompts it takes, and whether the archive opens.
struct Try {
    std::string name;
    std::string input;
    int prompts;
    bool opens;
};

class PasswordTry : public ::testing::TestWithParam<std::tuple<Build, Try>> {};

TEST_P(PasswordTry, OpensOnlyWithTheRightPassword) {
    const auto& [build, attempt] = GetParam();
    TempFolder folder;
    const Bytes archive = Archive(SecretEntries(), {.password = "Open Sesame", .passwordFlag = 0x01});
    const RunResult result = RunArchive(build, folder, archive, {.input = attempt.input});
    std::string prompts;
    for (int i = 0; i < attempt.prompts; ++i) prompts += kPrompt;
    EXPECT_EQ(result.output, kBanner + prompts + (attempt.opens ? Expanding("secret.bin") : ""));
    EXPECT_EQ(result.exitCode, attempt.opens ? 0 : 1);
    if (attempt.opens) {
        EXPECT_EQ(ReadText(folder / "secret.bin"), AsText(RandomBytes(10000, 42)));
    } else {
        EXPECT_FALSE(std::filesystem::exists(folder / "secret.bin"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    BothBuilds, PasswordTry,
    ::testing::Combine(::testing::Values(Build::Native, Build::Windows),
                       ::testing::Values(Try{"FirstTry", "Open Sesame\r\n", 1, true},
                                         Try{"SecondTry", "open sesame\r\nOpen Sesame\r\n", 2, true},
                                         Try{"ThirdTry", "Open Sesame \r\n\r\nOpen Sesame\r\n", 3, true},
                                         Try{"ThreeWrong", "a\r\nb\r\nc\r\nOpen Sesame\r\n", 3, false},
                                         Try{"EndOfInput", "", 3, false},
                                         Try{"EndOfInputAfterOneTry", "x\r\n", 3, false})),
    [](const auto& info) { return BuildName(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name; });

class Passwords : public BothBuilds {};

TEST_P(Passwords, AnyFlagMasksTheSameCheck) {
    for (std::uint8_t flag : {0x01, 0xFF}) {
        TempFolder folder;
        const Bytes archive = Archive(SecretEntries(), {.password = "pw", .passwordFlag = flag});
        const std::uint16_t stored = static_cast<std::uint16_t>(archive[7] | archive[8] << 8);
        EXPECT_EQ(stored ^ (flag * 0x0101), Crc16(reinterpret_cast<const std::uint8_t*>("pw"), 2));
        const RunResult result = RunArchive(build(), folder, archive, {.input = "pw\r\n"});
        EXPECT_EQ(result.output, kBanner + kPrompt + Expanding("secret.bin"));
        EXPECT_EQ(result.exitCode, 0);
    }
}

TEST_P(Passwords, LongPasswordIsReadWhole) {
    const std::string password(300, 'p');
    const RunResult result = Run(Archive(SecretEntries(), {.password = password}), {.input = password + "\r\n"});
    EXPECT_EQ(result.output, kBanner + kPrompt + Expanding("secret.bin"));
    EXPECT_EQ(ReadText(folder_ / "secret.bin"), AsText(RandomBytes(10000, 42)));
}

// An empty answer has the check 0; it is never taken, even when the right password's check
// is 0 as well.
TEST_P(Passwords, EmptyAnswerIsNeverAccepted) {
    std::string password;
    for (std::uint32_t n = 0; password.empty(); ++n) {
        const std::string candidate = "k" + std::to_string(n);
        if (Crc16(reinterpret_cast<const std::uint8_t*>(candidate.data()), candidate.size()) == 0) password = candidate;
    }
    const Bytes archive = Archive(SecretEntries(), {.password = password});
    RunResult result = Run(archive, {.input = "\r\n\r\n\r\n"});
    EXPECT_EQ(result.output, kBanner + kPrompt + kPrompt + kPrompt);
    EXPECT_EQ(result.exitCode, 1);
    result = Run(archive, {.input = "\r\n" + password + "\r\n"});
    EXPECT_EQ(result.output, kBanner + kPrompt + kPrompt + Expanding("secret.bin"));
    EXPECT_EQ(result.exitCode, 0);
}

TEST_P(Passwords, CommentComesBeforeThePrompt) {
    const RunResult result = Run(Archive(SecretEntries(), {.comment = "Ask me", .password = "pw"}), {.input = "pw\r\n"});
    EXPECT_EQ(result.output, kBanner + "Ask me\r\n" + kPrompt + Expanding("secret.bin"));
}

INSTANTIATE_TEST_SUITE_P(BothBuilds, Passwords, ::testing::Values(Build::Native, Build::Windows),
                         [](const auto& info) { return BuildName(info.param); });

class UnsafeName : public ::testing::TestWithParam<std::tuple<Build, std::string>> {};

// Refused right after the name is read, before any question or folder; the entries before
// it stay.
TEST_P(UnsafeName, EndsTheRunBeforeAnythingIsMadeForIt) {
    const auto& [build, name] = GetParam();
    TempFolder folder;
    std::filesystem::create_directory(folder / "inside");
    EntryWriter entries;
    entries.AddFile("first.txt", kTimes, ToBytes("1"));
    entries.AddFile(name, kTimes, ToBytes("escaped"));
    const RunResult result = RunArchive(build, folder, Archive(entries));
    EXPECT_EQ(result.output, kBanner + Expanding("first.txt") + "Unsafe path : " + name + "\a\r\n");
    EXPECT_EQ(result.exitCode, 2);
    const Tree tree = ReadTree(folder);
    EXPECT_EQ(tree.files, (std::map<std::string, std::string>{{"first.txt", "1"}}));
    EXPECT_EQ(tree.folders, std::set<std::string>{"inside"});
}

INSTANTIATE_TEST_SUITE_P(BothBuilds, UnsafeName,
                         ::testing::Combine(::testing::Values(Build::Native, Build::Windows),
                                            ::testing::Values("..\\up.txt", "inside\\..\\..\\up.txt", "\\root.txt",
                                                              "/root.txt", "C:\\up.txt", "c:up.txt", "a:stream",
                                                              "inside/../../up.txt", "inside\\...\\up.txt",
                                                              "inside\\. .\\up.txt", "inside\\ ..\\x", "a\\..")),
                         [](const auto& info) {
                             std::string name = BuildName(std::get<0>(info.param)) + "_";
                             for (char c : std::get<1>(info.param)) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name + "_" + std::to_string(info.index);
                         });

class Names : public BothBuilds {};

TEST_P(Names, NamesThatOnlyLookUnusual) {
    EntryWriter entries;
    entries.AddFile("a..b", kTimes, ToBytes("1"));
    entries.AddFile(".hidden", kTimes, ToBytes("2"));
    entries.AddFile("in\\.\\here.txt", kTimes, ToBytes("3"));
    const RunResult result = Run(Archive(entries));
    EXPECT_EQ(result.exitCode, 0) << result.output;
    const Tree tree = ReadTree(folder_);
    EXPECT_EQ(tree.files, (std::map<std::string, std::string>{{"a..b", "1"}, {".hidden", "2"}, {"in/here.txt", "3"}}));
}

TEST_P(Names, PrefixCompressedNamesAfterFolders) {
    EntryWriter entries;
    entries.AddFolder("Folder\\Sub");
    entries.AddFile("Folder\\Sub\\one.txt", kTimes, ToBytes("1"));
    entries.AddFile("Folder\\Sub\\two.txt", kTimes, ToBytes("2"));
    entries.AddFile("Folder\\three.txt", kTimes, ToBytes("3"));
    const RunResult result = Run(Archive(entries));
    EXPECT_EQ(result.output, kBanner + Expanding("Folder\\Sub\\one.txt") + Expanding("Folder\\Sub\\two.txt") +
                                 Expanding("Folder\\three.txt"));
    EXPECT_EQ(ReadTree(folder_).files.size(), 3u);
}

// 0x95 0x5C is one character in code page 932: its second byte is no separator there.
TEST_P(Names, DoubleByteCharacterWithBackslashTrailByte) {
    const std::string hyou = "\x95\x5C";  // U+8868 in UTF-8: E8 A1 A8
    EntryWriter entries;
    entries.AddFile(hyou + "\\" + hyou + ".txt", kTimes, ToBytes("inside"));
    entries.AddFolder("d\\" + hyou + "\\e");
    // The final "\." of this folder entry follows the double-byte character: its last part
    // is no folder to make, and nothing hangs.
    entries.AddRawName("d\\" + hyou + ".");
    const RunResult result = Run(Archive(entries), {.environment = {{"LANG", "ja_JP.UTF-8"}, {"LC_ALL", ""}}});
    EXPECT_EQ(result.output, kBanner + Expanding(hyou + "\\" + hyou + ".txt"));
    EXPECT_EQ(result.exitCode, 0);
    const Tree tree = ReadTree(folder_);
    EXPECT_EQ(tree.files, (std::map<std::string, std::string>{{"\xE8\xA1\xA8/\xE8\xA1\xA8.txt", "inside"}}));
    EXPECT_EQ(tree.folders, (std::set<std::string>{"\xE8\xA1\xA8", "d", "d/\xE8\xA1\xA8", "d/\xE8\xA1\xA8/e"}));
}

INSTANTIATE_TEST_SUITE_P(BothBuilds, Names, ::testing::Values(Build::Native, Build::Windows),
                         [](const auto& info) { return BuildName(info.param); });

}  // namespace
}  // namespace quorvel::test
