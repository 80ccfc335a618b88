// Runs the fuzz target without libFuzzer: over the files named on the command line, or
// over N inputs made from a fixed seed (--random N): random bytes and damaged copies of
// valid compressed data.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "packer/compress.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ValidInput(std::mt19937& random) {
    Bytes data;
    for (std::size_t i = 0, n = random() % 12000; i < n; ++i)
        data.push_back(static_cast<std::uint8_t>(random() % 4 ? "abcabdabe"[i % 9] : random()));
    Bytes input{0, 0, static_cast<std::uint8_t>(data.size()), static_cast<std::uint8_t>(data.size() >> 8),
                static_cast<std::uint8_t>(data.size() >> 16), static_cast<std::uint8_t>(random()),
                static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random() % 2 ? 0 : random())};
    Bytes compressed = quorvel::CompressFileData({}, data, 1 + static_cast<int>(random() % 6));
    input.insert(input.end(), compressed.begin(), compressed.end());
    return input;
}

void RunRandom(unsigned count) {
    std::mt19937 random(12345);
    for (unsigned i = 0; i < count; ++i) {
        Bytes input;
        if (i % 2) {
            input = ValidInput(random);
            for (unsigned flips = random() % 4; flips > 0 && input.size() > 8; --flips)
                input[8 + random() % (input.size() - 8)] ^= static_cast<std::uint8_t>(1u << (random() % 8));
        } else {
            input.resize(8 + random() % 4000);
            for (std::uint8_t& byte : input) byte = static_cast<std::uint8_t>(random());
        }
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    std::printf("%u inputs decoded\n", count);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && !std::strcmp(argv[1], "--random")) {
        RunRandom(static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)));
        return 0;
    }
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        Bytes input((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    return 0;
}
