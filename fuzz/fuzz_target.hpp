// What every fuzz target provides besides its entry point: the valid inputs its corpus
// starts from. A target program writes them into a folder when asked (--write-seeds), under
// libFuzzer and as a replay program alike, so they are not kept in the tree; fuzz/corpus/
// keeps what fuzzing found beyond them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "decoder/decoder_storage.hpp"
#include "support/parts.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace quorvel::fuzz {

using Bytes = std::vector<std::uint8_t>;

// Valid inputs of the target.
std::vector<Bytes> SeedInputs();

inline void WriteSeeds(const std::string& folder) {
    const std::vector<Bytes> seeds = SeedInputs();
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        const std::string path = folder + "/seed-" + std::to_string(i);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(seeds[i].data()), static_cast<std::streamsize>(seeds[i].size()));
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            std::exit(2);
        }
    }
}

// The decoder's working storage (about 4.3 MB), made once for the process and lent to every
// reader and decoding: made afresh for each input, its zeroing and page faults under the
// sanitizers cost more than all the rest of a small input's run.
inline DecoderStorage& ProcessDecoderStorage() {
    static const std::unique_ptr<DecoderStorage> storage = std::make_unique<DecoderStorage>();
    return *storage;
}

// A broken promise of the code under test: reported, then the process aborts, which both
// libFuzzer and a replay run count as a finding.
[[noreturn]] inline void Finding(const std::string& what) {
    std::fprintf(stderr, "finding: %s\n", what.c_str());
    std::abort();
}

inline void Expect(bool holds, const char* what) {
    if (!holds) Finding(what);
}

}  // namespace quorvel::fuzz
