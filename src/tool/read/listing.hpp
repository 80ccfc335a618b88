// What quorvel list shows, handed over piece by piece as the archive is read, so that a
// listing of any length takes no more memory than one entry: the header, each entry once
// its data has been read, then the totals, or the problem that ended the reading.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "reader/archive_reader.hpp"
#include "tool/common/code_page_guess.hpp"
#include "tool/common/name_text.hpp"
#include "tool/common/reporter.hpp"

namespace quorvel::tool {

struct ListTotals {
    std::uint64_t files = 0;
    std::uint64_t folders = 0;
    std::uint64_t size = 0;
    std::uint64_t stored = 0;

    void Add(const reader::Entry& entry);
};

// Stored bytes per byte of content, or nothing for an empty file.
std::optional<double> Ratio(std::uint64_t stored, std::uint64_t size);

class ListingWriter {
public:
    virtual ~ListingWriter() = default;
    // What stands in front, known before the header is read.
    virtual void Front(const reader::ArchiveFront& front) = 0;
    virtual void Header(const reader::ArchiveHeader& header, const CodePageChoice& codePage) = 0;
    virtual void Entry(const reader::Entry& entry) = 0;
    virtual void Totals(const ListTotals& totals) = 0;
    // The reading stopped here, or the file could not be read at all (Unreadable before
    // Front); nothing follows.
    virtual void Problem(const reader::ArchiveError& error) = 0;
};

// A table for people on standard output; problems go to standard error.
std::unique_ptr<ListingWriter> MakeTextListing(const std::string& archive, NameText& names, Reporter& reporter);
// One JSON document on standard output, problems included.
std::unique_ptr<ListingWriter> MakeJsonListing(const std::string& archive, NameText& names);

}  // namespace quorvel::tool
