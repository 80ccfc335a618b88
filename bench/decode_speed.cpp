// Decoder throughput: compresses a 30 MB input as one file entry with the encoder, then
// decodes it several times and reports MB/s of output (best run). The input is the first
// 26 MB of the C++ compiler binary followed by 4 MB of C++ library headers, or the files
// named on the command line.
//
//   decode_speed [--effort N] [--runs N] [file...]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "decoder/decode_file_data.hpp"
#include "packer/compress.hpp"
#include "support/expand_memory.hpp"
#include "support/parts.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kMegabyte = 1 << 20;
// The host lends bytes up to the end of a run of 256 blocks, as the tool's block reader does.
constexpr std::size_t kLendSize = 256 * 4096;

Bytes ReadFile(const std::filesystem::path& path, std::size_t limit) {
    std::ifstream in(path, std::ios::binary);
    Bytes bytes;
    std::copy_n(std::istreambuf_iterator<char>(in), std::min<std::size_t>(limit, std::filesystem::file_size(path)),
                std::back_inserter(bytes));
    return bytes;
}

Bytes DefaultInput() {
    Bytes input = ReadFile("/usr/lib/gcc/x86_64-linux-gnu/12/cc1plus", 26 * kMegabyte);
    std::vector<std::filesystem::path> headers;
    for (const auto& entry : std::filesystem::recursive_directory_iterator("/usr/include/c++/12"))
        if (entry.is_regular_file()) headers.push_back(entry.path());
    std::sort(headers.begin(), headers.end());
    for (const auto& path : headers) {
        if (input.size() >= 30 * kMegabyte) break;
        Bytes text = ReadFile(path, 30 * kMegabyte - input.size());
        input.insert(input.end(), text.begin(), text.end());
    }
    return input;
}

// Reads from memory in runs of blocks. The output goes into a preallocated buffer on the run
// that checks it, and nowhere on the timed runs, as gzip -d's goes to /dev/null: the runs
// measure the decoder rather than the host.
class BenchHost {
public:
    BenchHost(const Bytes& input, std::uint8_t* output) : input_(input), output_(output) {}

    std::uint8_t NextByte() {
        if (position_ == blockEnd_) blockEnd_ = std::min(input_.size(), position_ + kLendSize);
        if (position_ == input_.size()) std::abort();
        return input_[position_++];
    }
    std::uint32_t Contiguous(const std::uint8_t*& bytes) {
        bytes = input_.data() + position_;
        return static_cast<std::uint32_t>(blockEnd_ - position_);
    }
    void Consume(std::uint32_t n) { position_ += n; }
    void GiveBack(std::uint32_t n) { position_ -= n; }
    void WriteOutput(const std::uint8_t* bytes, std::uint32_t n) {
        if (output_ == nullptr) return;
        std::memcpy(output_, bytes, n);
        output_ += n;
    }
    [[noreturn]] void Broken() { std::abort(); }

private:
    const Bytes& input_;
    std::uint8_t* output_;
    std::size_t position_ = 0;
    std::size_t blockEnd_ = 0;
};

// A function of its own, as in the programs that use the decoder, rather than inlined into
// main with everything else.
[[gnu::noinline]] void Decode(quorvel::DecoderStorage& storage, BenchHost& host, std::int32_t size) {
    quorvel::DecodeFileData(storage, host, size);
}

double Seconds(Clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

}  // namespace

int main(int argc, char** argv) {
    int effort = 5;
    int runs = 5;
    Bytes input;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--effort") && i + 1 < argc) {
            effort = std::atoi(argv[++i]);
        } else if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (argv[i][0] == '-' || !std::filesystem::is_regular_file(argv[i])) {
            std::fprintf(stderr, "usage: decode_speed [--effort N] [--runs N] [file...]\n");
            return 2;
        } else {
            Bytes file = ReadFile(argv[i], SIZE_MAX);
            input.insert(input.end(), file.begin(), file.end());
        }
    }
    if (input.empty()) input = DefaultInput();

    Clock::time_point start = Clock::now();
    Bytes compressed = quorvel::CompressFileData({}, input, effort);
    double encodeSeconds = Seconds(Clock::now() - start);
    std::printf("input %zu bytes, compressed %zu bytes (%.1f%%), effort %d, encoded at %.1f MB/s\n", input.size(),
                compressed.size(), 100.0 * compressed.size() / input.size(), effort,
                input.size() / 1e6 / encodeSeconds);

    auto storage = quorvel::MakeDecoderStorage();
    auto decode = [&](std::uint8_t* output) {
        BenchHost host(compressed, output);
        quorvel::StartWindow(storage->Window, 0, 0, &storage->History.Slots[0], false);
        Decode(*storage, host, static_cast<std::int32_t>(input.size()));
        quorvel::FlushWindow(storage->Window, host);
    };
    Bytes output(input.size());
    decode(output.data());
    if (output != input) {
        std::printf("decoded output differs from the input\n");
        return 1;
    }
    double best = 1e9;
    for (int run = 0; run < runs; ++run) {
        start = Clock::now();
        decode(nullptr);
        best = std::min(best, Seconds(Clock::now() - start));
    }
    std::printf("decoded at %.1f MB/s of output (best of %d runs, %.3f s)\n", input.size() / 1e6 / best, runs, best);
    return 0;
}
