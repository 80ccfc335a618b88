// The inputs pack cannot store: unreadable, vanished, a name no Expander takes or the code
// page lacks, 2^31 bytes or more, a name taken twice. Each is reported as it is found, with
// its reason and the option that helps, if any: a warning as it is left out and the archive
// made from the rest, or under --strict an error, as nothing is written then.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <utility>

#include "tool/common/warning_sink.hpp"

namespace quorvel::tool {

class LeftOutInputs {
public:
    // `report` takes each line: as a warning, or under --strict as an error.
    LeftOutInputs(bool strict, WarningSink report) : strict_(strict), report_(std::move(report)) {}

    // An input that cannot be stored, and why; a folder goes with everything in it.
    void LeaveOut(const std::filesystem::path& source, const std::string& why, bool folder = false);

    bool Strict() const { return strict_; }
    std::size_t Count() const { return count_; }

private:
    bool strict_;
    WarningSink report_;
    std::size_t count_ = 0;
};

}  // namespace quorvel::tool
