#include "tool/pack/mapped_input.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>

#include "tool/pack/file_contents.hpp"
#include "tool/tool_namespace.hpp"

namespace quorvel::tool {
namespace {

// The mappings a read past a file's end may hit, for the bus error handler, which may only
// read them. A free slot has begin == end.
struct MappedRange {
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::uintptr_t> end{0};
    std::atomic<bool> cutShort{false};
};
// Far more than can be mapped at once: the pipeline holds only a few large files.
constexpr std::size_t kRanges = 256;
MappedRange ranges[kRanges];
std::mutex rangesMutex;
struct sigaction previousAction;
std::size_t pageSize = 4096;

// A read of a page past the file's end: the page becomes one of zeros and the range is
// marked; any other bus error is left to the handling there was before.
void OnBusError(int signal, siginfo_t* info, void* context) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (MappedRange& range : ranges) {
        if (address < range.begin.load() || address >= range.end.load()) continue;
        void* page = reinterpret_cast<void*>(address & ~(pageSize - 1));
        if (mmap(page, pageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) == MAP_FAILED) break;
        range.cutShort.store(true);
        return;
    }
    if (previousAction.sa_flags & SA_SIGINFO) {
        if (previousAction.sa_sigaction != nullptr) return previousAction.sa_sigaction(signal, info, context);
    } else if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN) {
        return previousAction.sa_handler(signal);
    }
    // Returning runs the faulting read again, which now meets the default action.
    sigaction(SIGBUS, &previousAction, nullptr);
}

bool InstallHandler() {
    pageSize = static_cast<std::size_t>(getpagesize());
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    return sigaction(SIGBUS, &action, &previousAction) == 0;
}

void InstallHandlerOnce() {
    [[maybe_unused]] static const bool installed = InstallHandler();
}

std::size_t Register(const void* start, std::size_t size) {
    std::lock_guard lock(rangesMutex);
    for (std::size_t i = 0; i < kRanges; ++i) {
        if (ranges[i].begin.load() != ranges[i].end.load()) continue;
        ranges[i].cutShort.store(false);
        ranges[i].begin.store(reinterpret_cast<std::uintptr_t>(start));
        ranges[i].end.store(reinterpret_cast<std::uintptr_t>(start) + size);
        return i;
    }
    return kRanges;
}

void Unregister(std::size_t slot) {
    std::lock_guard lock(rangesMutex);
    ranges[slot].end.store(0);
    ranges[slot].begin.store(0);
}

}  // namespace

std::unique_ptr<MappedInput> MappedInput::Map(int fd, std::size_t size, const std::filesystem::path& source) {
    InstallHandlerOnce();
    const std::size_t mappedSize = std::max<std::size_t>(size, 1);
    // Writable but private: the start is copied by writing to it, which the file never sees.
    void* mapped = mmap(nullptr, mappedSize, PROT_READ | PROT_WRITE, MAP_PRIVATE, fd, 0);
    if (mapped == MAP_FAILED) return nullptr;
    UniqueFd kept(fcntl(fd, F_DUPFD_CLOEXEC, 0));
    const std::size_t slot = kept.valid() ? Register(mapped, mappedSize) : kRanges;
    if (slot == kRanges) {
        munmap(mapped, mappedSize);
        return nullptr;
    }
    return std::unique_ptr<MappedInput>(new MappedInput(mapped, size, slot, std::move(kept), source));
}

MappedInput::MappedInput(void* mapped, std::size_t size, std::size_t slot, UniqueFd fd,
                         const std::filesystem::path& source)
    : start_(static_cast<const std::uint8_t*>(mapped)),
      size_(size),
      mappedSize_(std::max<std::size_t>(size, 1)),
      slot_(slot),
      fd_(std::move(fd)),
      source_(source) {
    auto* bytes = static_cast<volatile std::uint8_t*>(mapped);
    const std::size_t copied = std::min(size, kCopiedStart);
    for (std::size_t at = 0; at < copied; at += pageSize) bytes[at] = bytes[at];
    mprotect(mapped, mappedSize_, PROT_READ);
    madvise(mapped, mappedSize_, MADV_SEQUENTIAL);
    copiedEnd_ = (copied + pageSize - 1) & ~(pageSize - 1);
}

MappedInput::~MappedInput() {
    Unregister(slot_);
    munmap(const_cast<std::uint8_t*>(start_), mappedSize_);
}

void MappedInput::LetGo(std::size_t from, std::size_t to) const {
    // The page `from` lies in goes too, though its first bytes may not have been passed: the
    // ranges told one after another meet inside pages, which would otherwise all stay. A page
    // let go of too early is only read again.
    const std::size_t begin = std::max(copiedEnd_, from & ~(pageSize - 1));
    const std::size_t end = std::min(to, size_) & ~(pageSize - 1);
    if (end > begin) madvise(const_cast<std::uint8_t*>(start_) + begin, end - begin, MADV_DONTNEED);
}

void MappedInput::CheckRead() const {
    if (!ranges[slot_].cutShort.load()) return;
    struct stat info {};
    if (fstat(fd_.get(), &info) == 0 && static_cast<std::uint64_t>(info.st_size) >= size_)
        throw FileReadError(source_, "cannot be read (part of it could not be read from the disk)");
    throw FileReadError(source_, "changed while being packed: it was cut short while it was read");
}

}  // namespace quorvel::tool
