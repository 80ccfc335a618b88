#include "packer/joined_bytes.hpp"

#include <algorithm>

#include "format/item_format.hpp"
#include "packer/packer_namespace.hpp"

namespace quorvel::packer {

// Positions below preset + 8192 are read in the copy, which holds the 4352 bytes after each
// of them; from there on nothing a search reads lies in the preset.
JoinedBytes::JoinedBytes(std::span<const std::uint8_t> preset, std::span<const std::uint8_t> data,
                         std::vector<std::uint8_t>& joined) {
    const std::size_t copied = std::min<std::size_t>(data.size(), kMaxDistance + kMaxMatchLength);
    joined.assign(preset.begin(), preset.end());
    joined.insert(joined.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(copied));
    head_ = joined.data();
    headEnd_ = preset.size() + kMaxDistance;
    tail_ = data.data();
    tailStart_ = preset.size();
    size_ = preset.size() + data.size();
}

}  // namespace quorvel::packer
