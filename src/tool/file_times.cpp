#include "tool/file_times.hpp"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "format/file_time.hpp"
#include "tool/tool_error.hpp"

namespace quorvel::tool {

EntryTimes ReadFileTimes(const std::filesystem::path& file) {
    struct statx info {};
    if (statx(AT_FDCWD, file.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &info) != 0)
        throw ToolError(file.string() + ": " + std::strerror(errno));
    auto convert = [](const statx_timestamp& t) { return FromUnixTime(t.tv_sec, t.tv_nsec); };
    EntryTimes times;
    times.lastAccess = convert(info.stx_atime);
    times.lastWrite = convert(info.stx_mtime);
    times.creation = (info.stx_mask & STATX_BTIME) != 0 ? convert(info.stx_btime) : times.lastWrite;
    return times;
}

}  // namespace quorvel::tool
