#include "tool/common/code_page_guess.hpp"

#include <uchardet.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <type_traits>

#include "tool/common/code_page.hpp"

namespace quorvel::tool {
namespace {

// uchardet weighs how often each character comes, and answers nothing, or a single-byte
// charset, until it has seen about this much; a few names are far less. The sample is
// given again until it is this long: the frequencies stay those of the names.
constexpr std::size_t kDetectorBytes = 1024;

bool HoldsNonAscii(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

std::string Upper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

// uchardet's name for the sample's charset; empty when it cannot tell.
std::string DetectCharset(const NameSample& sample) {
    std::string once;
    for (const std::string& text : sample.Texts()) once += text + "\n";
    const std::unique_ptr<std::remove_pointer_t<uchardet_t>, void (*)(uchardet_t)> detector(uchardet_new(),
                                                                                          uchardet_delete);
    if (!detector) return "";
    for (std::size_t given = 0; given < kDetectorBytes; given += once.size())
        if (uchardet_handle_data(detector.get(), once.data(), once.size()) != 0) return "";
    uchardet_data_end(detector.get());
    const char* charset = uchardet_get_charset(detector.get());
    return charset != nullptr ? charset : "";
}

bool ReadsIn(const NameSample& sample, int codePage) {
    Utf8Converter converter(codePage);
    return std::all_of(sample.Texts().begin(), sample.Texts().end(),
                       [&](const std::string& text) { return converter.Exact(text).has_value(); });
}

}  // namespace

void NameSample::Add(std::string_view text) {
    if (Full() || !HoldsNonAscii(text)) return;
    texts_.emplace_back(text);
    bytes_ += text.size();
}

int CodePageOfCharset(std::string_view charset) {
    const std::string name = Upper(charset);
    if (name == "SHIFT_JIS" || name == "CP932" || name == "WINDOWS-31J") return 932;
    if (name == "GB18030" || name == "GBK" || name == "GB2312" || name == "CP936") return 936;
    if (name == "EUC-KR" || name == "UHC" || name == "CP949") return 949;
    if (name == "BIG5" || name == "BIG5-HKSCS" || name == "CP950") return 950;
    if (name == "ASCII") return 1252;
    const bool otherMultiByte = name.empty() || name.starts_with("UTF-") || name.starts_with("EUC-") ||
                                name.starts_with("ISO-2022") || name.starts_with("HZ");
    // A single-byte charset (ISO-8859-x, WINDOWS-125x, ...) is told apart from another by a
    // few letters at most, and 1252 is the only one an archive is made in.
    return otherMultiByte ? 0 : 1252;
}

int GuessCodePage(const NameSample& sample, std::span<const int> candidates) {
    if (candidates.empty()) return 1252;
    if (!sample.BeyondAscii()) return candidates.front();
    const int detected = CodePageOfCharset(DetectCharset(sample));
    const bool candidate = std::find(candidates.begin(), candidates.end(), detected) != candidates.end();
    if (candidate && ReadsIn(sample, detected)) return detected;
    for (const int codePage : candidates)
        if (ReadsIn(sample, codePage)) return codePage;
    return candidates.front();
}

void NoteCodePage(const CodePageChoice& choice, Reporter& reporter) {
    if (!choice.guessed || !choice.beyondAscii) return;
    reporter.Note("names read as code page " + std::to_string(choice.codePage) + " (guessed; --codepage sets it)");
}

}  // namespace quorvel::tool
