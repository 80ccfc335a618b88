// Internal faults end the program with "Runtime error NNN at XXXXXXXX" and exit code NNN,
// after the output buffered so far, on both systems.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <regex>

#include "packer/archive_writer.hpp"
#include "support/expander_runner.hpp"
#include "support/parts.hpp"
#include "support/payloads.hpp"

namespace quorvel::test {
namespace {

struct Fault {
    std::string kind;
    int number;
};

class InternalFault : public ::testing::TestWithParam<std::tuple<Build, Fault>> {};

TEST_P(InternalFault, IsReportedWithItsNumberAndAddress) {
    const auto& [build, fault] = GetParam();
    TempFolder folder;
    const auto probe = folder / (std::string("probe") + (build == Build::Windows ? ".exe" : ""));
    WriteBytes(probe, ReadBytes(StubProgramPath(build, "fault_probe")));
    const RunResult result = RunSelfExtractor(build, probe, {.input = fault.kind});
    const std::string number = std::to_string(fault.number);
    EXPECT_TRUE(std::regex_match(result.output,
                                 std::regex("before the fault\r\nRuntime error " + number + " at [0-9A-F]{8}\r\n")))
        << result.output;
    EXPECT_EQ(result.exitCode, fault.number);
}

INSTANTIATE_TEST_SUITE_P(BothBuilds, InternalFault,
                         ::testing::Combine(::testing::Values(Build::Native, Build::Windows),
                                            ::testing::Values(Fault{"access", 216}, Fault{"divide", 200},
                                                              Fault{"stack", 202})),
                         [](const auto& info) {
                             return BuildName(std::get<0>(info.param)) + "_" + std::get<1>(info.param).kind;
                         });

// The extraction's working storage is one frame of about 4.3 MB: on a stack limited to less,
// its first touch lands far beyond the limit, and is still the stack's.
TEST(NativeStack, TooSmallForTheWorkingStorageIsAStackFault) {
    TempFolder folder;
    const auto sfx = folder / "sfx";
    std::vector<std::uint8_t> bytes = StubBytes(Build::Native);
    const std::vector<std::uint8_t> archive = BuildArchive({}, FolderEntries(10));
    bytes.insert(bytes.end(), archive.begin(), archive.end());
    WriteBytes(sfx, bytes);
    chmod(sfx.c_str(), 0755);
    const RunResult result = RunProgram({"sh", "-c", "ulimit -s 2048 && exec \"$0\"", sfx.string()}, {});
    EXPECT_TRUE(std::regex_search(result.output, std::regex("\r\nRuntime error 202 at [0-9A-F]{8}\r\n$")))
        << result.output;
    EXPECT_EQ(result.exitCode, 202);
}

}  // namespace
}  // namespace quorvel::test
