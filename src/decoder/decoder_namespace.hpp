// The decoder is written in the terms of the format it decodes.
#pragma once

namespace quorvel::format {}

namespace quorvel::decoder {
using namespace quorvel::format;
}  // namespace quorvel::decoder
