// Runs a fuzz target without libFuzzer: over the files named on the command line (a folder
// stands for the files in it), or over the target's seed inputs and N more made from them
// with a fixed seed (--random N):
// damaged copies (bits flipped, bytes overwritten, cut out or put in) and random bytes.
// --write-seeds=DIR writes the seed inputs into DIR.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>

#include "fuzz_target.hpp"

namespace quorvel::fuzz {
namespace {

void Damage(Bytes& input, std::mt19937& random) {
    for (unsigned edits = 1 + random() % 4; edits > 0; --edits) {
        const std::size_t at = input.empty() ? 0 : random() % input.size();
        switch (random() % 8) {
            case 0:
                input.erase(input.begin() + static_cast<std::ptrdiff_t>(at),
                            input.begin() + static_cast<std::ptrdiff_t>(std::min(input.size(), at + random() % 64)));
                break;
            case 1:
                input.insert(input.begin() + static_cast<std::ptrdiff_t>(at), random() % 16,
                             static_cast<std::uint8_t>(random()));
                break;
            case 2:
                if (!input.empty()) input[at] = static_cast<std::uint8_t>(random());
                break;
            default:
                if (!input.empty()) input[at] ^= static_cast<std::uint8_t>(1u << random() % 8);
        }
    }
}

void Run(const Bytes& input) { LLVMFuzzerTestOneInput(input.data(), input.size()); }

void RunFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    Run(Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
}

// A file, or every file in a folder, in name order.
void RunPath(const std::filesystem::path& path) {
    if (!std::filesystem::is_directory(path)) return RunFile(path);
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(path))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const auto& file : files) RunFile(file);
    std::fprintf(stderr, "%zu inputs of %s run\n", files.size(), path.c_str());
}

void RunRandom(unsigned count) {
    const std::vector<Bytes> seeds = SeedInputs();
    for (const Bytes& seed : seeds) Run(seed);
    std::mt19937 random(12345);
    for (unsigned i = 0; i < count; ++i) {
        Bytes input;
        if (i % 8 == 7) {
            input.resize(random() % 4096);
            for (std::uint8_t& byte : input) byte = static_cast<std::uint8_t>(random());
        } else {
            input = seeds[i % seeds.size()];
            Damage(input, random);
        }
        Run(input);
    }
    std::fprintf(stderr, "%zu seed inputs and %u made from them run\n", seeds.size(), count);
}

}  // namespace
}  // namespace quorvel::fuzz

int main(int argc, char** argv) {
    using namespace quorvel::fuzz;
    constexpr std::string_view kWriteSeeds = "--write-seeds=";
    if (argc == 2 && std::string_view(argv[1]).starts_with(kWriteSeeds)) {
        WriteSeeds(argv[1] + kWriteSeeds.size());
        return 0;
    }
    if (argc == 3 && std::string_view(argv[1]) == "--random") {
        RunRandom(static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)));
        return 0;
    }
    for (int i = 1; i < argc; ++i) RunPath(argv[i]);
    return 0;
}
