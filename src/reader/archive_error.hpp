// Everything that can be wrong with an archive, reported with what and where: the problem,
// the entry it concerns, the block and the offset in the file.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace quorvel::reader {

enum class ArchiveProblem : std::uint8_t {
    NotAnArchive,   // no Expander with an archive behind it: too short, or neither in front nor behind
    BareStub,       // an Expander with nothing behind it
    Smaller,        // shorter than its header's total size
    Larger,         // longer than its header's total size
    CutShort,       // the data ends inside the header, a record or an entry's data
    BrokenBlock,    // a block's check does not match its bytes
    BrokenRecord,   // an entry record that cannot be valid
    BrokenData,     // compressed data that cannot be valid
    WrongPassword,  // the password does not match the archive's check
    Unreadable,     // the file cannot be read
};

struct ProblemPlace {
    std::optional<std::string> entryName;  // as stored: code page bytes, backslashes
    std::optional<std::uint64_t> block;    // 0-based block number
    std::optional<std::uint64_t> offset;   // offset in the file

    static ProblemPlace At(std::uint64_t fileOffset) { return {std::nullopt, std::nullopt, fileOffset}; }
    static ProblemPlace InBlock(std::uint64_t number, std::uint64_t fileOffset) {
        return {std::nullopt, number, fileOffset};
    }
};

class ArchiveError : public std::runtime_error {
public:
    ArchiveError(ArchiveProblem problem, const std::string& description, ProblemPlace place = {});

    ArchiveProblem problem() const { return problem_; }
    const std::string& description() const { return description_; }
    const ProblemPlace& place() const { return place_; }

private:
    ArchiveProblem problem_;
    std::string description_;
    ProblemPlace place_;
};

}  // namespace quorvel::reader
