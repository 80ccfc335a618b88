// A file being extracted: written where no one sees it (an unnamed file in its folder, or a
// temporary name where the file system has no unnamed files), and given its final name only
// once all its bytes are decoded and checked and its times and mode are set. Whatever ends
// it before that (a failure, an interrupt, a kill) leaves nothing under the final name.
//
// Bytes arrive in order and are written at once. extract makes, writes and names it on the
// FileWriter's thread while the decoder goes on; nothing here depends on the thread.
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
    // `shownPath` names the file in messages. Throws EntryFailure when no file can be made
    // there.
    PendingFile(int folder, std::string shownPath, bool inTarget);
    ~PendingFile() override;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // A failed write is remembered, not thrown, so that the decoder runs on to the entry's
    // end and later entries can still be read.
    void Write(std::span<const std::uint8_t> bytes) override;
    // The failure of a write, once one failed: the file cannot be completed.
    std::optional<EntryFailure> WriteFailure() const;

    // Sets the mode (executable when the file begins with "#!" or the ELF magic) and the
    // times, then gives the file `name` in its folder: replacing what stands there, or only
    // where nothing does. Throws EntryFailure, leaving nothing under the name.
    void Commit(const EntryTimes& times, mode_t umask, const std::string& name, bool replace);

private:
    void TakeTemporaryName(const std::function<bool(const char*)>& make);
    bool LinkAs(const char* name);
    void RenameTemporary(const std::string& name, bool replace);
    void SetModeAndTimes(const EntryTimes& times, mode_t umask);
    [[noreturn]] void FailToName(int error) const;
    [[noreturn]] void Fail(const std::string& what, int error) const;
    EntryFailure Failure(const std::string& what, int error) const;

    int folder_;
    std::string shownPath_;
    bool inTarget_;
    UniqueFd fd_;
    std::string temporaryName_;  // empty while the file has no name
    std::uint8_t head_[4] = {};
    std::size_t headLength_ = 0;
    std::optional<int> writeError_;
};

}  // namespace quorvel::tool
