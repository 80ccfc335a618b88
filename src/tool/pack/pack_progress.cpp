#include "tool/pack/pack_progress.hpp"

#include "tool/tool_namespace.hpp"

#include <cstdio>
#include <string>

namespace quorvel::tool {
namespace {

double Megabytes(std::uint64_t bytes) { return static_cast<double>(bytes) / 1e6; }

}  // namespace

PackProgress::PackProgress(Reporter& reporter, std::size_t files, std::size_t folders, std::uint64_t bytes)
    : reporter_(reporter), totalFiles_(files), totalFolders_(folders), totalBytes_(bytes) {}

void PackProgress::EntryWritten(bool folder, std::uint64_t archiveBytes) {
    ++(folder ? folders_ : files_);
    archiveBytes_ = archiveBytes;
    Draw();
}

CompressProgress PackProgress::FileHook() {
    if (!reporter_.ProgressShown()) return {};
    return [this, told = std::uint64_t{0}](std::size_t done) mutable {
        if (done <= told) return;
        compressed_ += done - told;
        told = done;
        Draw();
    };
}

void PackProgress::FileLeftOut(std::uint64_t bytes) {
    --totalFiles_;
    totalBytes_ -= bytes;
}

void PackProgress::Finish(std::uint64_t bytesIn, std::uint64_t archiveBytes) {
    archiveBytes_ = archiveBytes;
    reporter_.FinishProgress(Text(true, bytesIn));
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

void PackProgress::Draw() {
    reporter_.Progress([this] { return Text(false, 0); });
}

}  // namespace quorvel::tool
