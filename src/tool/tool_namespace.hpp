// The tool is written in the terms of the format and the packer it is built on; the reader's names it takes qualified.
#pragma once

namespace quorvel::format {}
namespace quorvel::packer {}

namespace quorvel::tool {
using namespace quorvel::format;
using namespace quorvel::packer;
}  // namespace quorvel::tool
