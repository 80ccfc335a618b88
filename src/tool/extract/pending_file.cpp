#include "tool/extract/pending_file.hpp"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>

#include <atomic>
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

// How an unnamed file is given a name: by its descriptor, where the system lets this process
// do that, or else through /proc, which needs no privilege. Found out at the first file.
enum class LinkWay { Unknown, ByDescriptor, ThroughProc };
std::atomic<LinkWay> Linking{LinkWay::Unknown};

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

// Scripts and programs can be run; other files get what a new file gets.
mode_t ModeFor(const std::uint8_t* head, std::size_t length) {
    const bool script = length >= 2 && head[0] == '#' && head[1] == '!';
    const bool program = length == sizeof kElfMagic && std::memcmp(head, kElfMagic, sizeof kElfMagic) == 0;
    return script || program ? 0755 : 0666;
}

}  // namespace

PendingFile::PendingFile(int folder, std::string shownPath, bool inTarget)
    : folder_(folder), shownPath_(std::move(shownPath)), inTarget_(inTarget) {}

PendingFile::~PendingFile() {
    fd_.Reset();
    if (temporaryName_.empty()) return;
    unlinkat(folder_, temporaryName_.c_str(), 0);
    ForgetTemporary();
}

EntryFailure PendingFile::Failure(const std::string& what, int error) const {
    return FailureOf(shownPath_, what, error, inTarget_);
}

void PendingFile::Fail(const std::string& what, int error) const { throw Failure(what, error); }

std::optional<EntryFailure> PendingFile::WriteFailure() const {
    if (!writeError_) return std::nullopt;
    return Failure("cannot be written", *writeError_);
}

void PendingFile::Make() {
    const mode_t mode = ModeFor(head_, headLength_);
    fd_ = UniqueFd(openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
    if (fd_.valid()) return;
    // Not every file system has unnamed files.
    int error = errno;
    if (error == EOPNOTSUPP || error == EISDIR || error == EINVAL) {
        error = TakeTemporaryName([this, mode](const char* name) {
            fd_ = UniqueFd(openat(folder_, name, O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, mode));
            return fd_.valid();
        });
    }
    if (error != 0) writeError_ = error;
}

// A free temporary name in the folder for which `make` succeeds, registered for removal on
// an interrupt as it is made. `make` fails with EEXIST when the name is taken.
int PendingFile::TakeTemporaryName(const std::function<bool(const char*)>& make) {
    InstallInterruptCleanup();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = TemporaryName();
        const InterruptHold hold;
        if (hold.Interrupted()) return EINTR;
        if (make(name.c_str())) {
            temporaryName_ = std::move(name);
            GuardTemporary(folder_, temporaryName_.c_str());
            return 0;
        }
        if (errno != EEXIST) return errno;
    }
    return EEXIST;
}

// The first bytes are held until there are enough of them to decide the mode; the file is
// made then, and they are written with the bytes of the call that completed them.
void PendingFile::Write(std::span<const std::uint8_t> bytes) {
    if (!fd_.valid() && !writeError_) {
        const std::size_t held = headLength_;
        const std::size_t taken = std::min(sizeof head_ - headLength_, bytes.size());
        std::memcpy(head_ + headLength_, bytes.data(), taken);
        headLength_ += taken;
        if (headLength_ < sizeof head_) return;
        Make();
        WriteAll({head_, held});
    }
    WriteAll(bytes);
}

void PendingFile::WriteAll(std::span<const std::uint8_t> bytes) {
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

bool PendingFile::LinkAs(const char* name) {
    if (Linking.load() != LinkWay::ThroughProc) {
        if (linkat(fd_.get(), "", folder_, name, AT_EMPTY_PATH) == 0) {
            Linking.store(LinkWay::ByDescriptor);
            return true;
        }
        // Without the privilege the descriptor is not found.
        if (Linking.load() == LinkWay::ByDescriptor || (errno != ENOENT && errno != EPERM)) return false;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd_.get());
    if (linkat(AT_FDCWD, self.c_str(), folder_, name, AT_SYMLINK_FOLLOW) != 0) return false;
    Linking.store(LinkWay::ThroughProc);
    return true;
}

void PendingFile::Commit(const EntryTimes& times, const std::string& name, bool replace) {
    if (!fd_.valid() && !writeError_) {  // fewer bytes than decide the mode, or none
        Make();
        WriteAll({head_, headLength_});
    }
    if (writeError_) Fail("cannot be written", *writeError_);
    const timespec stamps[2] = {ToTimespec(times.lastAccess), ToTimespec(times.lastWrite)};
    if (futimens(fd_.get(), stamps) != 0) Fail("cannot be given its times", errno);
    if (temporaryName_.empty() && !LinkAs(name.c_str())) {
        if (errno != EEXIST || !replace) FailToName(errno);
        // Named first, so that one rename puts it in place of what stands there.
        if (const int error = TakeTemporaryName([this](const char* temporary) { return LinkAs(temporary); }))
            Fail("cannot be written", error);
    }
    if (!temporaryName_.empty()) RenameTemporary(name, replace);
    if (fd_.Reset() != 0) Fail("cannot be written", errno);
}

// An interrupt between the rename and ForgetTemporary finds nothing left to remove.
void PendingFile::RenameTemporary(const std::string& name, bool replace) {
    const char* from = temporaryName_.c_str();
    if (renameat2(folder_, from, folder_, name.c_str(), replace ? 0 : RENAME_NOREPLACE) != 0) {
        // A file system without RENAME_NOREPLACE: a link refuses an existing name as well.
        if (errno != EINVAL || replace || linkat(folder_, from, folder_, name.c_str(), 0) != 0) FailToName(errno);
        unlinkat(folder_, from, 0);
    }
    ForgetTemporary();
    temporaryName_.clear();
}

void PendingFile::FailToName(int error) const {
    Fail(error == EEXIST ? "cannot be written: something else took its name meanwhile" : "cannot be given its name",
         error);
}

}  // namespace quorvel::tool
