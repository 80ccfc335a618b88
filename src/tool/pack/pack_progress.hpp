// The progress line of quorvel pack: files and folders written of all, the bytes
// compressed so far of all, and the archive's size. The compressing threads report as they
// go, so the line moves inside a large file too; any thread may call. The reporter draws it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "packer/compress_progress.hpp"
#include "tool/common/reporter.hpp"
#include "tool/tool_namespace.hpp"

namespace quorvel::tool {

class PackProgress {
public:
    PackProgress(Reporter& reporter, std::size_t files, std::size_t folders, std::uint64_t bytes);

    // After each entry written to the archive, now archiveBytes long.
    void EntryWritten(bool folder, std::uint64_t archiveBytes);
    // A hook for one file's compression, told the bytes of that file done so far; nothing
    // when the line is not shown.
    CompressProgress FileHook();
    // A file found but left out when it was read, no longer counted among all.
    void FileLeftOut(std::uint64_t bytes);
    // The last line: the bytes read in and the archive's final size.
    void Finish(std::uint64_t bytesIn, std::uint64_t archiveBytes);

private:
    std::string Text(bool last, std::uint64_t bytesIn) const;
    void Draw();

    Reporter& reporter_;
    std::atomic<std::size_t> totalFiles_;
    const std::size_t totalFolders_;
    std::atomic<std::uint64_t> totalBytes_;
    std::atomic<std::size_t> files_{0};
    std::atomic<std::size_t> folders_{0};
    std::atomic<std::uint64_t> compressed_{0};
    std::atomic<std::uint64_t> archiveBytes_{0};
};

}  // namespace quorvel::tool
