// An input file read for packing through one descriptor, opened once and checked to be the
// file the walk met: one replaced meanwhile by another file, a link, a pipe or a device is
// not read, so that it can neither hang the pack nor have it read without end.
#pragma once

#include <cstdint>
#include <vector>

#include "packer/entry_writer.hpp"
#include "tool/common/warning_sink.hpp"
#include "tool/pack/input_tree.hpp"
#include "tool/tool_namespace.hpp"

namespace quorvel::tool {

struct InputFile {
    EntryTimes times;  // as they were before it was read
    std::vector<std::uint8_t> contents;
};

// The file's times and its first entry.size bytes. It is opened without following a link,
// without waiting for a writer, and without changing its last access time where the system
// lets this process. Throws FileReadError naming the source when it cannot be read, is no
// longer the regular file the walk met, or holds fewer bytes than it did then; a file that
// grew is read up to its size then, with a warning.
InputFile ReadInputFile(const InputEntry& entry, const WarningSink& warn);

// Files from this size on are mapped rather than read: packing them holds only the part
// being compressed.
constexpr std::uint64_t kMappedFromSize = std::uint64_t{8} << 20;

// The same for a large file, mapped where the system can map it: the contents are lent, as
// the packer reads them; else read.
struct OpenedInputFile {
    EntryTimes times;
    std::vector<std::uint8_t> contents;  // when read
    LentContents lent;                   // when mapped
    std::span<const std::uint8_t> Contents() const { return lent.owner != nullptr ? lent.bytes : contents; }
};
OpenedInputFile MapInputFile(const InputEntry& entry, const WarningSink& warn);

}  // namespace quorvel::tool
