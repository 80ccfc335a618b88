#include "tool/pack/pack_progress.hpp"

#include "tool/tool_namespace.hpp"

#include <cstdio>
#include <string>

namespace quorvel::tool {
namespace {

double Megabytes(std::uint64_t bytes) { return static_cast<double>(bytes) / 1e6; }

}  // namespace

PackProgress::PackProgress(bool shown, std::size_t files, std::size_t folders, std::uint64_t bytes)
    : shown_(shown), totalFiles_(files), totalFolders_(folders), totalBytes_(bytes) {}

void PackProgress::EntryWritten(bool folder, std::uint64_t archiveBytes) {
    ++(folder ? folders_ : files_);
    archiveBytes_ = archiveBytes;
    Draw(false, 0);
}

CompressProgress PackProgress::FileHook() {
    if (!shown_) return {};
    return [this, told = std::uint64_t{0}](std::size_t done) mutable {
        if (done <= told) return;
        compressed_ += done - told;
        told = done;
        Draw(false, 0);
    };
}

void PackProgress::Finish(std::uint64_t bytesIn, std::uint64_t archiveBytes) {
    archiveBytes_ = archiveBytes;
    Draw(true, bytesIn);
}

void PackProgress::Say(const std::string& line) {
    const std::lock_guard lock(drawing_);
    std::fprintf(stderr, "%s%s\n", shown_ ? "\r\033[K" : "", line.c_str());
    std::fflush(stderr);
    shownAt_ = {};
}

std::string PackProgress::Text(bool last, std::uint64_t bytesIn) const {
    std::string text = std::to_string(files_) + "/" + std::to_string(totalFiles_) + " files";
    if (totalFolders_ > 0) text += ", " + std::to_string(folders_) + "/" + std::to_string(totalFolders_) + " folders";
    char bytes[96];
    const double out = Megabytes(archiveBytes_);
    if (last) {
        const double ratio =
            bytesIn == 0 ? 0.0 : 100.0 * static_cast<double>(archiveBytes_) / static_cast<double>(bytesIn);
        std::snprintf(bytes, sizeof bytes, ", %.1f MB in, %.1f MB out (%.1f%%)", Megabytes(bytesIn), out, ratio);
    } else {
        std::snprintf(bytes, sizeof bytes, ", %.1f of %.1f MB compressed, %.1f MB out", Megabytes(compressed_),
                      Megabytes(totalBytes_), out);
    }
    return text + bytes;
}

// A thread that finds the line being drawn leaves it to the other; the last one waits.
void PackProgress::Draw(bool last, std::uint64_t bytesIn) {
    if (!shown_) return;
    std::unique_lock lock(drawing_, std::defer_lock);
    if (last) {
        lock.lock();
    } else if (!lock.try_lock()) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!last && now - shownAt_ < std::chrono::milliseconds(100)) return;
    shownAt_ = now;
    // Back to the line's start, and cleared to its end, as the line before may have been longer.
    std::fprintf(stderr, "\r%s\033[K%s", Text(last, bytesIn).c_str(), last ? "\n" : "");
    std::fflush(stderr);
}

}  // namespace quorvel::tool
