// The --help text of the tool and of each of its commands.
#pragma once

#include <string>
#include <string_view>

namespace quorvel::tool {

// The help of a command ("pack", "list", "test", "extract"), or the tool's own for "".
std::string HelpText(std::string_view command);

}  // namespace quorvel::tool
