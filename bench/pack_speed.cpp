// Encoder throughput and size: compresses each named file as a file entry of its own (no
// preset), checks that it decodes back, and reports the total compressed size and MB/s.
//
//   pack_speed [--effort N] file...

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "packer/compress.hpp"
#include "support/expand_memory.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

// Exits with a message when the file cannot be read, rather than measuring nothing.
Bytes ReadFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "pack_speed: %s cannot be read\n", path);
        std::exit(1);
    }
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv) {
    int effort = 6;
    std::vector<Bytes> inputs;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--effort") && i + 1 < argc)
            effort = std::atoi(argv[++i]);
        else
            inputs.push_back(ReadFile(argv[i]));
    }
    if (inputs.empty()) {
        std::fprintf(stderr, "usage: pack_speed [--effort N] file...\n");
        return 2;
    }
    auto storage = quorvel::MakeDecoderStorage();
    std::size_t in = 0, out = 0;
    double seconds = 0;
    for (const Bytes& input : inputs) {
        Clock::time_point start = Clock::now();
        Bytes compressed = quorvel::CompressFileData({}, input, effort);
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
        auto expanded =
            quorvel::ExpandFileData(*storage, {}, compressed, static_cast<std::int32_t>(input.size()));
        if (expanded.bytes != input) {
            std::printf("decoded output differs from the input\n");
            return 1;
        }
        in += input.size();
        out += compressed.size();
    }
    std::printf("effort %d: %zu -> %zu bytes (%.2f%%), %.2f s, %.1f MB/s\n", effort, in, out, 100.0 * out / in,
                seconds, in / 1e6 / seconds);
    return 0;
}
