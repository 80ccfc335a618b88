#include "reader/archive_error.hpp"

namespace quorvel::reader {
namespace {

std::string Describe(const std::string& description, const ProblemPlace& place) {
    std::string text;
    if (place.entryName) text += "entry \"" + *place.entryName + "\": ";
    if (place.block) text += "block " + std::to_string(*place.block) + ", ";
    if (place.offset) text += "offset " + std::to_string(*place.offset) + ": ";
    return text + description;
}

}  // namespace

ArchiveError::ArchiveError(ArchiveProblem problem, const std::string& description, ProblemPlace place)
    : std::runtime_error(Describe(description, place)),
      problem_(problem),
      description_(description),
      place_(std::move(place)) {}

}  // namespace quorvel::reader
