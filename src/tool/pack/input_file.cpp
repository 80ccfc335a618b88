#include "tool/pack/input_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "tool/common/unique_fd.hpp"
#include "tool/pack/file_contents.hpp"
#include "tool/pack/file_times.hpp"
#include "tool/pack/mapped_input.hpp"
#include "tool/tool_namespace.hpp"

namespace quorvel::tool {
namespace {

// Not following a link at the file's own name, and not waiting for a writer should a pipe
// stand there now.
constexpr int kOpenFlags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW;

[[noreturn]] void Unreadable(const InputEntry& entry) {
    throw FileReadError(entry.source, std::string("cannot be read (") + std::strerror(errno) + ")");
}

[[noreturn]] void Changed(const InputEntry& entry, const std::string& how) {
    throw FileReadError(entry.source, "changed while being packed: " + how);
}

// O_NOATIME keeps the last access time as it was; the system allows it only to the file's
// owner and privileged processes, so others open without it.
UniqueFd Open(const InputEntry& entry) {
    UniqueFd fd(open(entry.target.c_str(), kOpenFlags | O_NOATIME));
    if (!fd.valid() && errno == EPERM) fd = UniqueFd(open(entry.target.c_str(), kOpenFlags));
    if (!fd.valid() && errno == ELOOP) Changed(entry, "a link stands where it was");
    if (!fd.valid()) Unreadable(entry);
    return fd;
}

// The opened file's status, times included, checked to be that of the regular file the
// walk met, with at least the bytes it had then.
struct statx CheckedStatus(int fd, const InputEntry& entry) {
    struct statx info {};
    if (statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &info) != 0) Unreadable(entry);
    if (!S_ISREG(info.stx_mode)) Changed(entry, "what stands where it was is no regular file");
    if (FileId{makedev(info.stx_dev_major, info.stx_dev_minor), info.stx_ino} != entry.id)
        Changed(entry, "another file stands where it was");
    if (info.stx_size < entry.size) Changed(entry, "it is shorter than when it was found");
    return info;
}

void WarnGrown(const InputEntry& entry, const WarningSink& warn) {
    warn(entry.source.string() + ": grew while being packed; the " + std::to_string(entry.size) +
         " bytes it had when found are stored");
}

// The file's bytes up to its size when the walk met it, read from `fd`.
std::vector<std::uint8_t> ReadAll(int fd, const struct statx& info, const InputEntry& entry, const WarningSink& warn) {
    std::vector<std::uint8_t> contents(entry.size);
    if (ReadUpTo(fd, contents, entry.source) < entry.size) Changed(entry, "it is shorter than when it was found");
    // One byte more tells whether it grew since its status was taken, and brings out a file
    // the system cannot read at all although its size says there is nothing to read (as in
    // /proc).
    std::uint8_t next = 0;
    if (info.stx_size > entry.size || ReadUpTo(fd, {&next, 1}, entry.source) != 0) WarnGrown(entry, warn);
    return contents;
}

}  // namespace

InputFile ReadInputFile(const InputEntry& entry, const WarningSink& warn) {
    const UniqueFd fd = Open(entry);
    const struct statx info = CheckedStatus(fd.get(), entry);
    return {FileTimes(info), ReadAll(fd.get(), info, entry, warn)};
}

OpenedInputFile MapInputFile(const InputEntry& entry, const WarningSink& warn) {
    const UniqueFd fd = Open(entry);
    const struct statx info = CheckedStatus(fd.get(), entry);
    std::shared_ptr<MappedInput> mapped = MappedInput::Map(fd.get(), entry.size, entry.source);
    if (mapped == nullptr) return {FileTimes(info), ReadAll(fd.get(), info, entry, warn), {}};
    if (info.stx_size > entry.size) WarnGrown(entry, warn);
    MappedInput* input = mapped.get();
    const auto letGo = [input](std::size_t from, std::size_t to) { input->LetGo(from, to); };
    return {FileTimes(info), {}, LentContents{input->Bytes(), std::move(mapped), letGo, [input] { input->CheckRead(); }}};
}

}  // namespace quorvel::tool
