// Scrambled archives and the password question, against both builds.
#include <gtest/gtest.h>

#include "format/crc16.hpp"
#include "support/archive_fixture.hpp"

namespace quorvel::test {
namespace {

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

}  // namespace
}  // namespace quorvel::test
