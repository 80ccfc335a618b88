// The Expander is written in the terms of the format and the decoder it is built on.
#pragma once

namespace quorvel::format {}
namespace quorvel::decoder {}

namespace quorvel::expander {
using namespace quorvel::format;
using namespace quorvel::decoder;
}  // namespace quorvel::expander
