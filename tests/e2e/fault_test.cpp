// Internal faults end the program with "Runtime error NNN at XXXXXXXX" and exit code NNN,
// after the output buffered so far, on both systems.
#include <gtest/gtest.h>

#include <regex>

#include "support/expander_runner.hpp"

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
    const auto probe = folder / ("probe-" + fault.kind + (build == Build::Windows ? ".exe" : ""));
    WriteBytes(probe, ReadBytes(StubProgramPath(build, "fault_probe")));
    const RunResult result = RunSelfExtractor(build, probe, {});
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

}  // namespace
}  // namespace quorvel::test
