// Where pack's warnings go: one line each, without the "quorvel: warning: " in front.
#pragma once

#include <functional>
#include <string>

namespace quorvel::tool {

using WarningSink = std::function<void(const std::string&)>;

}  // namespace quorvel::tool
