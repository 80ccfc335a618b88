// The packer is written in the terms of the format it writes.
#pragma once

namespace quorvel::format {}

namespace quorvel::packer {
using namespace quorvel::format;
}  // namespace quorvel::packer
