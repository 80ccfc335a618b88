#include "tool/pack/left_out_inputs.hpp"

namespace quorvel::tool {

void LeftOutInputs::LeaveOut(const std::filesystem::path& source, const std::string& why, bool folder) {
    ++count_;
    const char* outcome = strict_ ? "" : folder ? "; left out with everything in it" : "; left out";
    report_(source.string() + ": " + why + outcome);
}

}  // namespace quorvel::tool
