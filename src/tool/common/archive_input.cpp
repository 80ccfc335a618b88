#include "tool/common/archive_input.hpp"

#include "tool/common/passwords.hpp"
#include "tool/common/tool_error.hpp"

namespace quorvel::tool {

ArchiveInput::ArchiveInput(const ReadOptions& options)
    : options_(options), source_(options.archive), header_(reader::ReadArchiveHeader(source_)) {}

reader::ArchiveReader& ArchiveInput::StartReading(reader::BlockReader::ReadObserver onRead) {
    reader::ReaderOptions reading;
    try {
        reading.password = PasswordForReading(options_, header_);
    } catch (const ToolError& error) {
        throw reader::ArchiveError(reader::ArchiveProblem::WrongPassword, error.what());
    }
    reading.codePage = static_cast<unsigned>(options_.codePage);
    reading.onRead = std::move(onRead);
    reader_ = std::make_unique<reader::ArchiveReader>(source_, header_, reading);
    return *reader_;
}

}  // namespace quorvel::tool
