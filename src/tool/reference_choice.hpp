// Which earlier file a file should start from: the one whose shared prefix and window
// preset make the file's compressed data smallest.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "packer/entry_writer.hpp"

namespace quorvel::tool {

// What the chooser knows of the files written so far, newest first.
struct EarlierFile {
    std::string extension;
};

EntryReference ChooseReference(const EntryWriter& written, const std::vector<EarlierFile>& earlier,
                               std::span<const std::uint8_t> contents, const std::string& extension, int effort);

}  // namespace quorvel::tool
