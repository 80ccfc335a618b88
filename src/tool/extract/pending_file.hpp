// A file being extracted: written where no one sees it (an unnamed file in its folder, or a
// temporary name where the file system has no unnamed files), and given its final name only
// once all its bytes are decoded and checked and its times are set. Whatever ends it before
// that (a failure, an interrupt, a kill) leaves nothing under the final name.
//
// The file is made once its first bytes are known, with the mode they call for, so that the
// mode needs no call of its own. Bytes arrive in order and are written at once. extract
// makes, writes and names it on the FileWriter's thread while the decoder goes on; nothing
// here depends on the thread.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "reader/archive_reader.hpp"
#include "tool/common/unique_fd.hpp"
#include "tool/extract/extract_failure.hpp"
#include "tool/tool_namespace.hpp"

namespace quorvel::tool {

class PendingFile final : public reader::DataSink {
public:
    // In the folder open as `folder`, which `inTarget` tells is the target folder itself;
    // `shownPath` names the file in messages.
    PendingFile(int folder, std::string shownPath, bool inTarget);
    ~PendingFile() override;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // A failure to make or write the file is remembered, not thrown, so that the decoder runs
    // on to the entry's end and later entries can still be read.
    void Write(std::span<const std::uint8_t> bytes) override;
    // The failure, once the file could not be made or written: it cannot be completed.
    std::optional<EntryFailure> WriteFailure() const;

    // Sets the times, then gives the file `name` in its folder: where nothing stands there,
    // or, when `replace`, in place of what does. Throws EntryFailure, leaving nothing under
    // the name.
    void Commit(const EntryTimes& times, const std::string& name, bool replace);

private:
    // Makes the file: executable when its first bytes begin a script ("#!") or a program (the
    // ELF magic), as a new file otherwise; the umask applies either way.
    void Make();
    void WriteAll(std::span<const std::uint8_t> bytes);
    // 0, or why no free temporary name could be made.
    int TakeTemporaryName(const std::function<bool(const char*)>& make);
    bool LinkAs(const char* name);
    void RenameTemporary(const std::string& name, bool replace);
    [[noreturn]] void FailToName(int error) const;
    [[noreturn]] void Fail(const std::string& what, int error) const;
    EntryFailure Failure(const std::string& what, int error) const;

    int folder_;
    std::string shownPath_;
    bool inTarget_;
    UniqueFd fd_;
    std::string temporaryName_;  // empty while the file has no name
    std::uint8_t head_[4] = {};  // the first bytes, which decide the mode
    std::size_t headLength_ = 0;
    std::optional<int> writeError_;
};

}  // namespace quorvel::tool
