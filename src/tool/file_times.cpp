#include "tool/file_times.hpp"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "tool/tool_error.hpp"

namespace quorvel::tool {

std::uint64_t ToFileTime(std::int64_t seconds, std::uint32_t nanoseconds) {
    constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
    const std::int64_t since1601 = seconds + kSecondsFrom1601To1970;
    if (since1601 < 0) return 0;
    return static_cast<std::uint64_t>(since1601) * 10000000u + nanoseconds / 100;
}

EntryTimes ReadFileTimes(const std::filesystem::path& file) {
    struct statx info {};
    if (statx(AT_FDCWD, file.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &info) != 0)
        throw ToolError(file.string() + ": " + std::strerror(errno));
    auto convert = [](const statx_timestamp& t) { return ToFileTime(t.tv_sec, t.tv_nsec); };
    EntryTimes times;
    times.lastAccess = convert(info.stx_atime);
    times.lastWrite = convert(info.stx_mtime);
    times.creation = (info.stx_mask & STATX_BTIME) != 0 ? convert(info.stx_btime) : times.lastWrite;
    return times;
}

}  // namespace quorvel::tool
