#include "tool/extract/pending_file.hpp"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <random>

#include "format/file_time.hpp"
#include "tool/common/interrupt_cleanup.hpp"
#include "tool/tool_namespace.hpp"

namespace quorvel::tool {
namespace {

constexpr std::uint8_t kElfMagic[] = {0x7F, 'E', 'L', 'F'};

std::string TemporaryName() {
    static std::mt19937_64 random{std::random_device{}()};
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = ".quorvel-";
    for (int i = 0; i < 12; ++i) name += kLetters[random() % 36];
    return name + ".partial";
}

timespec ToTimespec(std::uint64_t fileTime) {
    const UnixTime time = ToUnixTime(fileTime);
    return timespec{static_cast<time_t>(time.seconds), static_cast<long>(time.nanoseconds)};
}

}  // namespace

PendingFile::PendingFile(int folder, std::string shownPath, bool inTarget)
    : folder_(folder), shownPath_(std::move(shownPath)), inTarget_(inTarget) {
    fd_ = UniqueFd(openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
    if (fd_.valid()) return;
    // Not every file system has unnamed files.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) Fail("cannot be written", errno);
    TakeTemporaryName([this](const char* name) {
        fd_ = UniqueFd(openat(folder_, name, O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0600));
        return fd_.valid();
    });
}

PendingFile::~PendingFile() {
    fd_.Reset();
    if (temporaryName_.empty()) return;
    unlinkat(folder_, temporaryName_.c_str(), 0);
    ForgetTemporary();
}

EntryFailure PendingFile::Failure(const std::string& what, int error) const {
    return EntryFailure(shownPath_ + ": " + what + " (" + std::strerror(error) + ")", FailureRepeats(error, inTarget_));
}

void PendingFile::Fail(const std::string& what, int error) const { throw Failure(what, error); }

std::optional<EntryFailure> PendingFile::WriteFailure() const {
    if (!writeError_) return std::nullopt;
    return Failure("cannot be written", *writeError_);
}

// A free temporary name in the folder for which `make` succeeds, registered for removal on
// an interrupt as it is made. `make` fails with EEXIST when the name is taken.
void PendingFile::TakeTemporaryName(const std::function<bool(const char*)>& make) {
    InstallInterruptCleanup();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = TemporaryName();
        const InterruptHold hold;
        if (make(name.c_str())) {
            temporaryName_ = std::move(name);
            GuardTemporary(folder_, temporaryName_.c_str());
            return;
        }
        if (errno != EEXIST) Fail("cannot be written", errno);
    }
    Fail("cannot be written", EEXIST);
}

void PendingFile::Write(std::span<const std::uint8_t> bytes) {
    const std::size_t head = std::min(sizeof head_ - headLength_, bytes.size());
    std::memcpy(head_ + headLength_, bytes.data(), head);
    headLength_ += head;
    while (!writeError_ && !bytes.empty()) {
        const ssize_t n = write(fd_.get(), bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            writeError_ = n < 0 ? errno : ENOSPC;
            return;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(n));
    }
}

// Scripts and programs can be run; other files get what a new file gets.
void PendingFile::SetModeAndTimes(const EntryTimes& times, mode_t umask) {
    const bool script = headLength_ >= 2 && head_[0] == '#' && head_[1] == '!';
    const bool program = headLength_ == sizeof kElfMagic && std::memcmp(head_, kElfMagic, sizeof kElfMagic) == 0;
    const mode_t mode = static_cast<mode_t>((script || program ? 0755 : 0666) & ~umask);
    if (fchmod(fd_.get(), mode) != 0) Fail("cannot be given its mode", errno);
    const timespec stamps[2] = {ToTimespec(times.lastAccess), ToTimespec(times.lastWrite)};
    if (futimens(fd_.get(), stamps) != 0) Fail("cannot be given its times", errno);
}

// The unnamed file under a name: through /proc, which needs no privilege, else by the
// descriptor itself.
bool PendingFile::LinkAs(const char* name) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_.get());
    if (linkat(AT_FDCWD, self.c_str(), folder_, name, AT_SYMLINK_FOLLOW) == 0) return true;
    return errno == ENOENT && linkat(fd_.get(), "", folder_, name, AT_EMPTY_PATH) == 0;
}

void PendingFile::Commit(const EntryTimes& times, mode_t umask, const std::string& name, bool replace) {
    if (writeError_) Fail("cannot be written", *writeError_);
    SetModeAndTimes(times, umask);
    if (temporaryName_.empty() && !replace) {
        if (!LinkAs(name.c_str())) FailToName(errno);
    } else {
        // Named first, so that one rename puts it in place of what stands there.
        if (temporaryName_.empty()) TakeTemporaryName([this](const char* temporary) { return LinkAs(temporary); });
        RenameTemporary(name, replace);
    }
    if (fd_.Reset() != 0) Fail("cannot be written", errno);
}

void PendingFile::RenameTemporary(const std::string& name, bool replace) {
    const InterruptHold hold;
    const char* from = temporaryName_.c_str();
    int done = renameat2(folder_, from, folder_, name.c_str(), replace ? 0 : RENAME_NOREPLACE);
    // A file system without RENAME_NOREPLACE: a link refuses an existing name as well.
    if (done != 0 && errno == EINVAL && !replace) done = linkat(folder_, from, folder_, name.c_str(), 0);
    if (done != 0) FailToName(errno);
    unlinkat(folder_, from, 0);  // nothing left after a rename; the old name after a link
    ForgetTemporary();
    temporaryName_.clear();
}

void PendingFile::FailToName(int error) const {
    Fail(error == EEXIST ? "cannot be written: something else took its name meanwhile" : "cannot be given its name",
         error);
}

}  // namespace quorvel::tool
