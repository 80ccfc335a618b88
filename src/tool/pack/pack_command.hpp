// quorvel pack: makes a self-extracting file from folders and files.
#pragma once

#include "tool/cli/command_options.hpp"

namespace quorvel::tool {

int RunPack(const PackOptions& options);

}  // namespace quorvel::tool
