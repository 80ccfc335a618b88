#include "tool/read/listing.hpp"

namespace quorvel::tool {

void ListTotals::Add(const reader::Entry& entry) {
    if (entry.kind == reader::EntryKind::Folder) {
        ++folders;
    } else {
        ++files;
        size += entry.size;
    }
    stored += entry.storedBytes;
}

std::optional<double> Ratio(std::uint64_t stored, std::uint64_t size) {
    if (size == 0) return std::nullopt;
    return static_cast<double>(stored) / static_cast<double>(size);
}

}  // namespace quorvel::tool
