// Linked into every fuzz target. The reader sets aside 4.3 MB of zeroed storage for each
// archive; under the sanitizers that is fresh memory each time, whose page faults cost more
// than all the rest of a small input's run. Such blocks are given huge pages where the
// system has them, which makes the faults fewer.

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>

// Present when a sanitizer's allocator is linked.
extern "C" [[gnu::weak]] int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, std::size_t),
                                                                      void (*)(const volatile void*));

namespace {

void AdviseHugePages(const volatile void* block, std::size_t size) {
    constexpr std::uintptr_t kHugePage = 2 << 20;
    const auto address = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t start = (address + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t end = (address + size) & ~(kHugePage - 1);
    if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

void IgnoreFree(const volatile void*) {}

[[maybe_unused]] const int kAllocationHooks =
    __sanitizer_install_malloc_and_free_hooks != nullptr
        ? __sanitizer_install_malloc_and_free_hooks(AdviseHugePages, IgnoreFree)
        : 0;

}  // namespace
