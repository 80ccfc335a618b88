// quorvel: makes self-extracting archives for the Quorvel Expander, and lists, tests and
// extracts them without running them.
#include <iostream>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "tool/cli/command_line.hpp"
#include "tool/cli/help_texts.hpp"
#include "tool/common/reporter.hpp"
#include "tool/common/tool_error.hpp"
#include "tool/extract/extract_command.hpp"
#include "tool/pack/pack_command.hpp"
#include "tool/read/list_command.hpp"
#include "tool/read/test_command.hpp"

namespace {

const char kVersion[] = "quorvel 1.60";

int Run(const quorvel::tool::Command& command) {
    using namespace quorvel::tool;
    return std::visit(
        [](const auto& options) -> int {
            using Options = std::decay_t<decltype(options)>;
            if constexpr (std::is_same_v<Options, HelpRequest>) {
                std::cout << HelpText(options.command);
                return kExitSuccess;
            } else if constexpr (std::is_same_v<Options, VersionRequest>) {
                std::cout << kVersion << "\n";
                return kExitSuccess;
            } else if constexpr (std::is_same_v<Options, PackOptions>) {
                return RunPack(options);
            } else if constexpr (std::is_same_v<Options, ListOptions>) {
                return RunList(options);
            } else if constexpr (std::is_same_v<Options, TestOptions>) {
                return RunTest(options);
            } else {
                return RunExtract(options);
            }
        },
        command);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quorvel::tool;
    try {
        return Run(ParseCommandLine({argv + 1, argv + argc}));
    } catch (const CommandLineError& error) {
        Reporter().UsageError(error.command, error.what());
        return kExitUsage;
    } catch (const UsageError& error) {  // an unreadable file as well
        Reporter().Error(error.what());
        return kExitUsage;
    } catch (const std::exception& error) {
        Reporter().Error(error.what());
        return kExitFailure;
    }
}
