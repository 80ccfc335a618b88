// Time stamps as the archive keeps them: FILETIMEs, 100-nanosecond intervals since
// 1 January 1601 (UTC).
#pragma once

#include <cstdint>

namespace quorvel::format {

// As stored: the low and the high half.
struct FileTime {
    std::uint32_t low;
    std::uint32_t high;
};

// A file entry's three times, each a whole FILETIME.
struct EntryTimes {
    std::uint64_t creation = 0;
    std::uint64_t lastAccess = 0;
    std::uint64_t lastWrite = 0;
};

constexpr std::uint64_t kFileTimeUnitsPerSecond = 10000000;
constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;

constexpr std::uint64_t FileTimeValue(FileTime time) { return static_cast<std::uint64_t>(time.high) << 32 | time.low; }

struct UnixTime {
    std::int64_t seconds;
    std::uint32_t nanoseconds;
};

constexpr UnixTime ToUnixTime(std::uint64_t fileTime) {
    return UnixTime{static_cast<std::int64_t>(fileTime / kFileTimeUnitsPerSecond) - kSecondsFrom1601To1970,
                    static_cast<std::uint32_t>(fileTime % kFileTimeUnitsPerSecond) * 100};
}

// Times before 1601 become 0.
constexpr std::uint64_t FromUnixTime(std::int64_t seconds, std::uint32_t nanoseconds) {
    const std::int64_t since1601 = seconds + kSecondsFrom1601To1970;
    if (since1601 < 0) return 0;
    return static_cast<std::uint64_t>(since1601) * kFileTimeUnitsPerSecond + nanoseconds / 100;
}

}  // namespace quorvel::format
