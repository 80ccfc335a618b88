#include "tool/pack/file_times.hpp"

#include "format/file_time.hpp"
#include "tool/tool_namespace.hpp"

namespace quorvel::tool {

EntryTimes FileTimes(const struct statx& info) {
    auto convert = [](const statx_timestamp& t) { return FromUnixTime(t.tv_sec, t.tv_nsec); };
    EntryTimes times;
    times.lastAccess = convert(info.stx_atime);
    times.lastWrite = convert(info.stx_mtime);
    times.creation = (info.stx_mask & STATX_BTIME) != 0 ? convert(info.stx_btime) : times.lastWrite;
    return times;
}

}  // namespace quorvel::tool
