#include "tool/common/problem_report.hpp"

#include "tool/common/tool_error.hpp"

namespace quorvel::tool {

std::string ProblemText(const reader::ArchiveError& error, NameText& names) {
    const reader::ProblemPlace& place = error.place();
    std::string text;
    if (place.entryName) text += "entry \"" + Printable(names.Shown(*place.entryName)) + "\": ";
    if (place.block) text += "block " + std::to_string(*place.block) + ", ";
    if (place.offset) text += "offset " + std::to_string(*place.offset) + ": ";
    return text + error.description();
}

const char* ProblemKey(reader::ArchiveProblem problem) {
    using reader::ArchiveProblem;
    switch (problem) {
        case ArchiveProblem::NotAnArchive: return "not_an_archive";
        case ArchiveProblem::BareStub: return "bare_stub";
        case ArchiveProblem::Smaller: return "smaller";
        case ArchiveProblem::Larger: return "larger";
        case ArchiveProblem::CutShort: return "cut_short";
        case ArchiveProblem::BrokenBlock: return "broken_block";
        case ArchiveProblem::BrokenRecord: return "broken_record";
        case ArchiveProblem::BrokenData: return "broken_data";
        case ArchiveProblem::WrongPassword: return "wrong_password";
        case ArchiveProblem::Unreadable: break;
    }
    return "unreadable";
}

int ExitCodeFor(const reader::ArchiveError& error) {
    return error.problem() == reader::ArchiveProblem::Unreadable ? kExitUsage : kExitFailure;
}

}  // namespace quorvel::tool
