// Which earlier files share the most content with a new file: fingerprints of a sample of
// the eight-byte runs in the first bytes of the last 255 files, each with the file and the
// offset it came from. The sample is chosen by the fingerprint's value, not by position,
// so a run shared by two files is sampled in both wherever it stands.
#pragma once

#include <cstdint>
#include <deque>
#include <span>
#include <unordered_map>
#include <vector>

namespace quorvel::packer {

class FingerprintIndex {
public:
    // Indexes a file's first bytes as the newest file; the file 255 back is forgotten.
    void Add(std::span<const std::uint8_t> firstBytes);

    // The region of an earlier file whose runs count, and the part of the new file they
    // are looked for in, by offset.
    struct Region {
        std::uint32_t from = 0;
        std::uint32_t to = 0;
        std::uint32_t wantedFrom = 0;
        std::uint32_t wantedTo = 0;
    };
    // For each earlier file (index 0 the newest), how many distinct sampled runs of
    // `contents` it holds, counting only runs inside the regions given for it.
    std::vector<std::uint32_t> SharedRuns(std::span<const std::uint8_t> contents,
                                          const std::vector<Region>& regions) const;

private:
    struct Posting {
        std::uint32_t file;  // serial number of the file, from 0
        std::uint32_t offset;
    };

    // Postings of each fingerprint, oldest file first.
    std::unordered_map<std::uint64_t, std::vector<Posting>> postings_;
    std::deque<std::vector<std::uint64_t>> fileFingerprints_;  // oldest file first
    std::uint32_t files_ = 0;
};

}  // namespace quorvel::packer
