// The listing as one JSON document, written as the archive is read: the Expander and the
// file's size, the header's fields, "entries" with one object per line, then "totals", or
// "error" where the reading stopped. doc/list.schema.json is its schema: "archive",
// "expander", "file_size" and "entries" are always there, whatever stopped the reading.
#include <nlohmann/json.hpp>

#include <iostream>

#include "tool/common/problem_report.hpp"
#include "tool/read/listing.hpp"
#include "tool/read/time_text.hpp"
#include "tool/tool_namespace.hpp"

namespace quorvel::tool {
namespace {

using Json = nlohmann::ordered_json;

const char* ExpanderKey(StubKind kind) {
    switch (kind) {
        case StubKind::WindowsI686: return "windows-i686";
        case StubKind::WindowsX86_64: return "windows-x86_64";
        case StubKind::NativeX86_64: return "native-x86_64";
        case StubKind::Unknown: break;
    }
    return "unknown";
}

// Compact, with any byte that is not UTF-8 (a file name given on the command line can hold
// one) replaced.
std::string Dump(const Json& value) { return value.dump(-1, ' ', false, Json::error_handler_t::replace); }

Json RatioValue(std::uint64_t stored, std::uint64_t size) {
    const std::optional<double> ratio = Ratio(stored, size);
    return ratio ? Json(*ratio) : Json(nullptr);
}

class JsonListing final : public ListingWriter {
public:
    JsonListing(std::string archive, NameText& names) : names_(names) {
        std::cout << "{\n";
        Field("archive", std::move(archive));
    }

    void Front(const reader::ArchiveFront& front) override {
        Field("expander", ExpanderKey(front.stub));
        Field("file_size", front.fileSize);
        frontWritten_ = true;
    }

    void Header(const reader::ArchiveHeader& header, const CodePageChoice& codePage) override {
        Field("total_size", header.totalSize);
        Field("comment", names_.ShownText(header.comment));
        Field("comment_cut", header.commentCut);
        Field("run_command", names_.ShownText(header.runCommand));
        Field("run_command_cut", header.runCommandCut);
        Field("scrambled", header.Scrambled());
        Field("code_page", codePage.codePage);
        Field("code_page_guessed", codePage.guessed);
        OpenEntries();
    }

    void Entry(const reader::Entry& entry) override {
        const bool file = entry.kind == reader::EntryKind::File;
        Json object;
        object["name"] = names_.Shown(entry.name);
        object["kind"] = file ? "file" : "folder";
        object["size"] = entry.size;
        object["stored"] = entry.storedBytes;
        object["ratio"] = file ? RatioValue(entry.storedBytes, entry.size) : Json(nullptr);
        object["reference_back"] = entry.referenceBack;
        object["shared_prefix"] = entry.sharedPrefix;
        AddTime(object, "creation", file, entry.times.creation);
        AddTime(object, "last_access", file, entry.times.lastAccess);
        AddTime(object, "last_write", file, entry.times.lastWrite);
        object["offset"] = entry.recordOffset;
        object["unsafe"] = entry.unsafe;
        object["too_long"] = entry.tooLong;
        std::cout << (entries_++ == 0 ? "\n    " : ",\n    ") << Dump(object);
    }

    void Totals(const ListTotals& totals) override {
        CloseEntries();
        Field("totals", Json{{"files", totals.files},
                             {"folders", totals.folders},
                             {"size", totals.size},
                             {"stored", totals.stored},
                             {"ratio", RatioValue(totals.stored, totals.size)}});
        std::cout << "\n}\n";
    }

    void Problem(const reader::ArchiveError& error) override {
        if (!frontWritten_) {  // the file could not be opened
            Field("expander", ExpanderKey(StubKind::Unknown));
            Field("file_size", nullptr);
        }
        if (!entriesOpened_) OpenEntries();
        CloseEntries();
        const reader::ProblemPlace& place = error.place();
        Json object;
        object["problem"] = ProblemKey(error.problem());
        object["message"] = ProblemText(error, names_);
        object["entry"] = place.entryName ? Json(names_.Shown(*place.entryName)) : Json(nullptr);
        object["block"] = place.block ? Json(*place.block) : Json(nullptr);
        object["offset"] = place.offset ? Json(*place.offset) : Json(nullptr);
        Field("error", object);
        std::cout << "\n}\n";
    }

private:
    void Field(const char* key, const Json& value) {
        std::cout << (fields_++ == 0 ? "  " : ",\n  ") << Dump(key) << ": " << Dump(value);
    }
    void OpenEntries() {
        std::cout << ",\n  \"entries\": [";
        inEntries_ = true;
        entriesOpened_ = true;
    }
    void CloseEntries() {
        if (!inEntries_) return;
        std::cout << (entries_ == 0 ? "]" : "\n  ]");
        inEntries_ = false;
    }
    static void AddTime(Json& object, const std::string& name, bool file, std::uint64_t fileTime) {
        object[name + "_filetime"] = file ? Json(fileTime) : Json(nullptr);
        object[name + "_utc"] = file ? Json(Iso8601(fileTime)) : Json(nullptr);
    }

    NameText& names_;
    std::uint64_t fields_ = 0;
    std::uint64_t entries_ = 0;
    bool inEntries_ = false;
    bool frontWritten_ = false;
    bool entriesOpened_ = false;
};

}  // namespace

std::unique_ptr<ListingWriter> MakeJsonListing(const std::string& archive, NameText& names) {
    return std::make_unique<JsonListing>(archive, names);
}

}  // namespace quorvel::tool
