// Standard input and output on POSIX. A terminal's Enter delivers LF alone; a LF that does
// not follow a CR is delivered as CR LF, so that every line ends the way the console
// dialogue expects.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "expander/platform/platform.hpp"
#include "expander/platform/posix/file_status.hpp"

namespace quorvel::expander {
namespace {

bool LastInputWasCr;

}  // namespace

OutputKind StandardOutputKind() {
    struct stat info;
    if (!posix::StatusOf(STDOUT_FILENO, info)) return OutputKind::Unknown;
    return isatty(STDOUT_FILENO) ? OutputKind::CharacterDevice : OutputKind::Other;
}

void ConsoleWrite(const void* bytes, std::uint32_t n) {
    const char* at = static_cast<const char*>(bytes);
    while (n != 0) {
        const ssize_t r = write(STDOUT_FILENO, at, n);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return;
        at += r;
        n -= static_cast<std::uint32_t>(r);
    }
}

std::int32_t ConsoleRead(void* buffer, std::uint32_t n) {
    char raw[64];
    const std::uint32_t want = n / 2 < sizeof raw ? n / 2 : sizeof raw;
    ssize_t got;
    do {
        got = read(STDIN_FILENO, raw, want);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) return got < 0 ? -1 : 0;
    char* out = static_cast<char*>(buffer);
    std::int32_t count = 0;
    for (ssize_t i = 0; i < got; ++i) {
        if (raw[i] == '\n' && !LastInputWasCr) out[count++] = '\r';
        out[count++] = raw[i];
        LastInputWasCr = raw[i] == '\r';
    }
    return count;
}

}  // namespace quorvel::expander
