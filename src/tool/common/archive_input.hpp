// An archive opened for list, test and extract: its file and the program in front, its
// header, its password and the code page of its names, and a reader from the first entry on.
#pragma once

#include <memory>
#include <string>

#include "reader/archive_reader.hpp"
#include "tool/cli/command_options.hpp"
#include "tool/common/code_page_guess.hpp"
#include "tool/common/file_source.hpp"
#include "tool/common/name_text.hpp"
#include "tool/common/passwords.hpp"

namespace quorvel::decoder {
struct DecoderStorage;
}

namespace quorvel::tool {

class ArchiveInput {
public:
    // Opens the file and looks at the program in front. Throws UnreadableError,
    // reader::ArchiveError (Unreadable).
    explicit ArchiveInput(const ReadOptions& options);
    ~ArchiveInput();

    const reader::ArchiveFront& Front() const { return front_; }
    // Reads the header, finds the password of a scrambled archive, and takes the code page
    // given, or guesses it from the comment, the run command and the first names, which it
    // reads ahead; `names` are read in it from now on. Throws reader::ArchiveError
    // (WrongPassword when there is no password or it is wrong).
    CodePageChoice Open(NameText& names);
    // After Open.
    const reader::ArchiveHeader& Header() const { return header_; }
    // The reader from the first entry on, after Open.
    reader::ArchiveReader& StartReading(reader::BlockReader::ReadObserver onRead = {});
    // Notes the first name beyond ASCII met past the names the guess was made from, when
    // those were all ASCII: it was read in a code page guessed without seeing it.
    void NoteLateName(const reader::Entry& entry, Reporter& reporter);

private:
    CodePageChoice ChooseCodePage(const std::vector<PasswordMatch>& passwords);
    // Adds the names of the first entries to the sample, as far as a few megabytes of the
    // archive take them; a problem on the way ends the look without a word, as the reading
    // proper meets and tells it. Whether it read to the end of the archive.
    bool ReadNamesAhead(const std::string& password, NameSample& sample);

    ReadOptions options_;
    FileSource source_;
    reader::ArchiveFront front_;
    reader::ArchiveHeader header_;
    std::string password_;
    int codePage_ = kDefaultCodePage;
    bool lateNamesUnseen_ = false;  // guessed from names all in ASCII, the archive not read to its end
    // Lent to the reader that looks ahead, then to the one that reads.
    std::unique_ptr<decoder::DecoderStorage> storage_;
    std::unique_ptr<reader::ArchiveReader> reader_;
};

// The code page names are shown in before the archive's is known.
int InitialCodePage(const ReadOptions& options);

}  // namespace quorvel::tool
