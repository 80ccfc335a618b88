#include "tool/common/code_page.hpp"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <span>
#include <vector>

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

// "932, 936 and 949", the last two joined by `last`.
std::string Listed(std::span<const int> codePages, const char* last) {
    std::string text;
    for (std::size_t i = 0; i < codePages.size(); ++i)
        text += (i == 0 ? "" : i + 1 == codePages.size() ? last : ", ") + std::to_string(codePages[i]);
    return text;
}

}  // namespace

bool IsSupportedCodePage(int codePage) {
    return std::ranges::find(kCodePages, codePage) != std::end(kCodePages);
}

std::size_t Utf8CharacterLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    char32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07u;
    } else {
        return 0;
    }
    if (text.size() - at < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
        code = code << 6 | (byte(at + i) & 0x3Fu);
    }
    constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
    return length;
}

std::optional<std::string> TryFromUtf8(std::string_view text, int codePage) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = Utf8CharacterLength(text, at);
        if (length == 0) return std::nullopt;
        at += length;
    }
    const iconv_t converter = OpenConverter(CodesetName(codePage), "UTF-8", codePage);
    std::string out;
    const char* in = text.data();
    std::size_t inLeft = text.size();
    const bool converted = Convert(converter, in, inLeft, out);
    iconv_close(converter);
    if (!converted) return std::nullopt;
    return out;
}

std::string Utf8Problem(std::string_view text, int codePage) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = Utf8CharacterLength(text, at);
        if (length == 0) {
            static const char kHex[] = "0123456789ABCDEF";
            const auto byte = static_cast<unsigned char>(text[at]);
            return std::string("not valid UTF-8 (byte 0x") + kHex[byte >> 4] + kHex[byte & 15] + ")";
        }
        const std::string_view character = text.substr(at, length);
        at += length;
        if (TryFromUtf8(character, codePage)) continue;
        std::vector<int> holders;
        for (const int other : kCodePages)
            if (TryFromUtf8(character, other)) holders.push_back(other);
        if (holders.empty()) return std::string(character) + " is in none of the code pages " + Listed(kCodePages, ", ");
        std::string problem = std::string(character) + " is not in code page " + std::to_string(codePage) +
                              " but in code page" + (holders.size() > 1 ? "s " : " ") + Listed(holders, " and ");
        // The first of them that holds the whole text, which may lack others of its characters.
        for (const int other : holders)
            if (TryFromUtf8(text, other)) return problem + ": --codepage " + std::to_string(other);
        return problem;
    }
    return "cannot be converted to code page " + std::to_string(codePage);
}

std::string FromUtf8(std::string_view text, int codePage, const std::string& what) {
    std::optional<std::string> converted = TryFromUtf8(text, codePage);
    if (!converted) throw ToolError(what + ": " + Utf8Problem(text, codePage));
    return std::move(*converted);
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
