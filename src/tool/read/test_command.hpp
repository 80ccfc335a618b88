// quorvel test: reads and decodes a whole archive, writes nothing, and says whether it is
// intact.
#pragma once

#include "tool/cli/command_options.hpp"

namespace quorvel::tool {

int RunTest(const TestOptions& options);

}  // namespace quorvel::tool
