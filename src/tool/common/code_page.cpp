#include "tool/common/code_page.hpp"

#include <iconv.h>

#include <cerrno>

#include "format/code_pages.hpp"
#include "tool/common/tool_error.hpp"
#include "tool/tool_namespace.hpp"

namespace quorvel::tool {
namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

std::string CodesetName(int codePage) { return "CP" + std::to_string(codePage); }

iconv_t OpenConverter(const std::string& to, const std::string& from, int codePage) {
    const iconv_t converter = iconv_open(to.c_str(), from.c_str());
    if (converter == kNoConverter)
        throw ToolError("code page " + std::to_string(codePage) + " is not available on this system");
    return converter;
}

// Converts as far as it can; `in` and `inLeft` tell where it stopped. False on a byte
// sequence without meaning (EILSEQ) or cut short (EINVAL).
bool Convert(iconv_t converter, const char*& in, std::size_t& inLeft, std::string& out) {
    char buffer[1024];
    while (inLeft > 0) {
        char* to = buffer;
        std::size_t toLeft = sizeof buffer;
        const std::size_t result = iconv(converter, const_cast<char**>(&in), &inLeft, &to, &toLeft);
        out.append(buffer, static_cast<std::size_t>(to - buffer));
        if (result == static_cast<std::size_t>(-1) && errno != E2BIG) return false;
    }
    return true;
}

}  // namespace

bool IsSupportedCodePage(int codePage) {
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 || codePage == 1252;
}

std::string FromUtf8(std::string_view text, int codePage, const std::string& what) {
    const iconv_t converter = OpenConverter(CodesetName(codePage), "UTF-8", codePage);
    std::string out;
    const char* in = text.data();
    std::size_t inLeft = text.size();
    const bool converted = Convert(converter, in, inLeft, out);
    const int error = errno;
    iconv_close(converter);
    if (!converted)
        throw ToolError(what + ": " +
                        (error == EILSEQ ? "holds a character that code page " + std::to_string(codePage) + " cannot represent"
                                         : std::string("is not valid UTF-8")));
    return out;
}

struct Utf8Converter::State {
    iconv_t converter;
};

Utf8Converter::Utf8Converter(int codePage)
    : state_(std::make_unique<State>(State{OpenConverter("UTF-8", CodesetName(codePage), codePage)})) {}

Utf8Converter::~Utf8Converter() { iconv_close(state_->converter); }

std::optional<std::string> Utf8Converter::Exact(std::string_view text) {
    iconv(state_->converter, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    const char* in = text.data();
    std::size_t inLeft = text.size();
    if (!Convert(state_->converter, in, inLeft, out)) return std::nullopt;
    return out;
}

std::string Utf8Converter::Shown(std::string_view text) {
    iconv(state_->converter, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    const char* in = text.data();
    std::size_t inLeft = text.size();
    while (!Convert(state_->converter, in, inLeft, out)) {
        out += "\xEF\xBF\xBD";
        ++in;
        --inLeft;
        iconv(state_->converter, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

std::size_t CharacterLength(std::string_view text, std::size_t at, int codePage) {
    if (IsLeadByte(static_cast<unsigned char>(text[at]), static_cast<unsigned>(codePage)) && at + 1 < text.size()) return 2;
    return 1;
}

}  // namespace quorvel::tool
