// Under libFuzzer, `TARGET --write-seeds=DIR` writes the target's seed inputs into DIR and
// ends; libFuzzer itself ignores flags that begin with two dashes.

#include <string_view>

#include "fuzz_target.hpp"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    constexpr std::string_view kWriteSeeds = "--write-seeds=";
    for (int i = 1; i < *argc; ++i) {
        const std::string_view argument = (*argv)[i];
        if (!argument.starts_with(kWriteSeeds)) continue;
        quorvel::fuzz::WriteSeeds(std::string(argument.substr(kWriteSeeds.size())));
        std::exit(0);
    }
    return 0;
}
