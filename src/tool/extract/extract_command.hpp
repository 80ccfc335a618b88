// quorvel extract: writes an archive's entries under a folder without running anything.
#pragma once

#include "tool/cli/command_options.hpp"

namespace quorvel::tool {

int RunExtract(const ExtractOptions& options);

}  // namespace quorvel::tool
