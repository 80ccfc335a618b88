// quorvel: makes self-extracting archives for the Quorvel Expander.
#include <iostream>
#include <string_view>
#include <vector>

#include "tool/pack_command.hpp"
#include "tool/tool_error.hpp"

namespace {

const char kVersion[] = "quorvel 1.60";

const char kUsage[] =
    "usage: quorvel COMMAND [options]\n"
    "\n"
    "commands:\n"
    "  pack     make a self-extracting file (quorvel pack --help)\n"
    "\n"
    "  --help     this text\n"
    "  --version  the tool's version\n";

int Run(const std::vector<std::string_view>& arguments) {
    using namespace quorvel::tool;
    if (arguments.empty()) throw UsageError("no command given");
    const std::string_view command = arguments[0];
    if (command == "--help" || command == "-h") return std::cout << kUsage, kExitSuccess;
    if (command == "--version") return std::cout << kVersion << "\n", kExitSuccess;
    if (command == "pack") {
        const PackOptions options = ParsePackOptions({arguments.begin() + 1, arguments.end()});
        if (options.help) return std::cout << kPackUsage, kExitSuccess;
        return RunPack(options);
    }
    throw UsageError("unknown command " + std::string(command));
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quorvel::tool;
    try {
        return Run({argv + 1, argv + argc});
    } catch (const UsageError& error) {
        std::cerr << "quorvel: " << error.what() << "\n" << (argc > 1 && std::string_view(argv[1]) == "pack" ? kPackUsage : kUsage);
        return kExitUsage;
    } catch (const std::exception& error) {
        std::cerr << "quorvel: " << error.what() << "\n";
        return kExitFailure;
    }
}
