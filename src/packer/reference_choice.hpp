// Which earlier file a file should start from: the one whose shared prefix and window
// preset make the file's compressed data smallest. A few candidates are tried by
// compressing the file's start against each: those sharing the longest prefix, the
// newest of the same kind, and those whose preset holds the most of the file's runs.
#pragma once

#include <cstdint>
#include <deque>
#include <span>
#include <string>

#include "packer/entry_writer.hpp"
#include "packer/fingerprint_index.hpp"

namespace quorvel::packer {

// The lower-cased extension of a stored name's last part, without the period: the kind of
// file the chooser and the archive's order go by.
std::string ExtensionOf(const std::string& storedName);

class ReferenceChooser {
public:
    explicit ReferenceChooser(int effort) : effort_(effort) {}

    // The reference for the next file entry, among the files `written` holds.
    EntryReference Choose(const EntryWriter& written, std::span<const std::uint8_t> contents,
                          const std::string& extension) const;
    // The same choice in two steps: the candidates are found now, while `written` holds the
    // files before this one, and tried (the costly part: the file's start is compressed
    // against each) when the result is called, on any thread.
    DeferredReference Defer(const EntryWriter& written, std::span<const std::uint8_t> contents,
                            const std::string& extension) const;
    // Records the file entry just written.
    void Remember(std::span<const std::uint8_t> contents, const std::string& extension);

private:
    int effort_;
    std::deque<std::string> extensions_;  // newest first, at most 255
    FingerprintIndex index_;
};

}  // namespace quorvel::packer
