// An archive opened for list, test and extract: its file, its header, and a reader from the
// first entry on once the password is known.
#pragma once

#include <memory>

#include "reader/archive_reader.hpp"
#include "tool/cli/command_options.hpp"
#include "tool/common/file_source.hpp"

namespace quorvel::tool {

class ArchiveInput {
public:
    // Opens the file and reads its header. Throws UnreadableError, reader::ArchiveError.
    explicit ArchiveInput(const ReadOptions& options);

    const reader::ArchiveHeader& Header() const { return header_; }
    // The reader, after the password of a scrambled archive has been found. Throws
    // reader::ArchiveError (WrongPassword) when there is none or it is wrong.
    reader::ArchiveReader& StartReading(reader::BlockReader::ReadObserver onRead = {});

private:
    ReadOptions options_;
    FileSource source_;
    reader::ArchiveHeader header_;
    std::unique_ptr<reader::ArchiveReader> reader_;
};

}  // namespace quorvel::tool
