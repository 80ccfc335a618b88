// Tests, fuzzers and benchmarks reach into the format, the decoder and the packer alike:
// their names are taken unqualified here. The reader, the Expander and the tool stay
// qualified, or are brought in by the tests of each.
#pragma once

namespace quorvel::format {}
namespace quorvel::decoder {}
namespace quorvel::packer {}

namespace quorvel {
using namespace quorvel::format;
using namespace quorvel::decoder;
using namespace quorvel::packer;
}  // namespace quorvel
