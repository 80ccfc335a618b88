// quorvel list: what a self-extracting file holds, as a table or as JSON.
#pragma once

#include "tool/cli/command_options.hpp"

namespace quorvel::tool {

int RunList(const ListOptions& options);

}  // namespace quorvel::tool
