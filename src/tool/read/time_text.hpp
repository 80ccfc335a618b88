// FILETIMEs as people read them, in UTC, for any value the 64 bits can hold.
#pragma once

#include <cstdint>
#include <string>

namespace quorvel::tool {

// ISO 8601 with the full 100-nanosecond precision: "2024-05-01T12:34:56.1234567Z". Years
// past 9999 get a sign, as ISO 8601 writes them: "+30828-09-14T02:48:05.4775807Z".
std::string Iso8601(std::uint64_t fileTime);

// To the second, for a listing: "2024-05-01 12:34:56".
std::string ShortTime(std::uint64_t fileTime);

}  // namespace quorvel::tool
