// The listing as a table for people.
#include <cstdio>
#include <iostream>

#include "tool/common/problem_report.hpp"
#include "tool/common/reporter.hpp"
#include "tool/read/listing.hpp"
#include "tool/read/time_text.hpp"
#include "tool/tool_namespace.hpp"

namespace quorvel::tool {
namespace {

const char* ExpanderName(StubKind kind) {
    switch (kind) {
        case StubKind::WindowsI686: return "Windows i686";
        case StubKind::WindowsX86_64: return "Windows x86_64";
        case StubKind::NativeX86_64: return "native x86_64 (Linux)";
        case StubKind::Unknown: break;
    }
    return "20480 bytes of something else";
}

std::string Percent(std::uint64_t stored, std::uint64_t size) {
    const std::optional<double> ratio = Ratio(stored, size);
    if (!ratio) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f%%", *ratio * 100);
    return text;
}

// A header text over several lines (CR LF or LF), each after the first indented under the
// first.
std::string Indented(const std::string& text) {
    std::string out;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::size_t length = end > start && text[end - 1] == '\r' ? end - 1 - start : end - start;
        out += Printable(text.substr(start, length)) + "\n            ";
    }
    return out + Printable(text.substr(start));
}

class TextListing final : public ListingWriter {
public:
    TextListing(std::string archive, NameText& names, Reporter& reporter)
        : archive_(std::move(archive)), names_(names), reporter_(reporter) {}

    void Front(const reader::ArchiveFront&) override {}

    void Header(const reader::ArchiveHeader& header, const CodePageChoice& codePage) override {
        std::cout << "Archive:    " << Printable(archive_) << "\n"
                  << "Expander:   " << ExpanderName(header.stub) << "\n"
                  << "Size:       " << header.fileSize << " bytes\n"
                  << "Comment:    " << Text(header.comment, header.commentCut) << "\n"
                  << "Run:        " << Text(header.runCommand, header.runCommandCut) << "\n"
                  << "Scrambled:  " << (header.Scrambled() ? "yes (a 16-bit check and a repeating XOR, not encryption)" : "no")
                  << "\n"
                  << "Code page:  " << codePage.codePage << (codePage.guessed ? " (guessed; --codepage sets it)" : "")
                  << "\n\n";
        std::printf("%-6s %10s %10s %6s  %-22s %-19s  %s\n", "Kind", "Size", "Stored", "Ratio", "Reference",
                    "Last write (UTC)", "Name");
        std::fflush(stdout);
    }

    void Entry(const reader::Entry& entry) override {
        const bool file = entry.kind == reader::EntryKind::File;
        std::string reference = "-";
        if (file && entry.referenceBack != 0)
            reference = "back " + std::to_string(entry.referenceBack) + ", prefix " + std::to_string(entry.sharedPrefix);
        const std::string flags = entry.unsafe ? "  [unsafe name]" : entry.tooLong ? "  [name too long]" : "";
        std::printf("%-6s %10s %10llu %6s  %-22s %-19s  %s%s\n", file ? "file" : "folder",
                    file ? std::to_string(entry.size).c_str() : "-", static_cast<unsigned long long>(entry.storedBytes),
                    file ? Percent(entry.storedBytes, entry.size).c_str() : "-", reference.c_str(),
                    file ? ShortTime(entry.times.lastWrite).c_str() : "-", Printable(names_.Shown(entry)).c_str(),
                    flags.c_str());
    }

    void Totals(const ListTotals& totals) override {
        const std::string counts = Count(totals.files, "file") + ", " + Count(totals.folders, "folder");
        std::printf("%-6s %10llu %10llu %6s  %-22s %-19s  %s\n", "total", static_cast<unsigned long long>(totals.size),
                    static_cast<unsigned long long>(totals.stored), Percent(totals.stored, totals.size).c_str(), "",
                    "", counts.c_str());
    }

    void Problem(const reader::ArchiveError& error) override {
        std::fflush(stdout);
        reporter_.Error(archive_ + ": " + ProblemText(error, names_));
    }

private:
    std::string Text(const std::string& text, bool cut) {
        if (text.empty()) return "(none)";
        return Indented(names_.ShownText(text)) + (cut ? " [cut at 1 MiB]" : "");
    }
    static std::string Count(std::uint64_t n, const std::string& what) {
        return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
    }

    std::string archive_;
    NameText& names_;
    Reporter& reporter_;
};

}  // namespace

std::unique_ptr<ListingWriter> MakeTextListing(const std::string& archive, NameText& names, Reporter& reporter) {
    return std::make_unique<TextListing>(archive, names, reporter);
}

}  // namespace quorvel::tool
