#include "tool/read/time_text.hpp"

#include <cstdio>

#include "format/file_time.hpp"
#include "tool/tool_namespace.hpp"

namespace quorvel::tool {
namespace {

struct CivilTime {
    std::int64_t year;
    unsigned month, day, hour, minute, second;
    std::uint32_t units;  // 100-nanosecond units within the second
};

// The proleptic Gregorian date of a day counted from 1970-01-01, by eras of 400 years.
void CivilDate(std::int64_t days, CivilTime& time) {
    days += 719468;  // from 0000-03-01
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<std::uint32_t>(days - era * 146097);
    const std::uint32_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::uint32_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::uint32_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    time.day = dayOfYear - (153 * monthFromMarch + 2) / 5 + 1;
    time.month = monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9;
    time.year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (time.month <= 2 ? 1 : 0);
}

CivilTime ToCivil(std::uint64_t fileTime) {
    const std::uint64_t seconds = fileTime / kFileTimeUnitsPerSecond;
    CivilTime time{};
    time.units = static_cast<std::uint32_t>(fileTime % kFileTimeUnitsPerSecond);
    const std::uint64_t secondOfDay = seconds % 86400;
    time.hour = static_cast<unsigned>(secondOfDay / 3600);
    time.minute = static_cast<unsigned>(secondOfDay / 60 % 60);
    time.second = static_cast<unsigned>(secondOfDay % 60);
    constexpr std::int64_t kDaysFrom1601To1970 = kSecondsFrom1601To1970 / 86400;
    CivilDate(static_cast<std::int64_t>(seconds / 86400) - kDaysFrom1601To1970, time);
    return time;
}

std::string Date(const CivilTime& time) {
    char text[32];
    std::snprintf(text, sizeof text, time.year > 9999 ? "+%lld-%02u-%02u" : "%04lld-%02u-%02u",
                  static_cast<long long>(time.year), time.month, time.day);
    return text;
}

}  // namespace

std::string Iso8601(std::uint64_t fileTime) {
    const CivilTime time = ToCivil(fileTime);
    char clock[32];
    std::snprintf(clock, sizeof clock, "T%02u:%02u:%02u.%07uZ", time.hour, time.minute, time.second,
                  static_cast<unsigned>(time.units));
    return Date(time) + clock;
}

std::string ShortTime(std::uint64_t fileTime) {
    const CivilTime time = ToCivil(fileTime);
    char clock[32];
    std::snprintf(clock, sizeof clock, " %02u:%02u:%02u", time.hour, time.minute, time.second);
    return Date(time) + clock;
}

}  // namespace quorvel::tool
