#include "tool/code_page.hpp"

#include <iconv.h>

#include <cerrno>
#include <memory>

#include "format/code_pages.hpp"
#include "tool/tool_error.hpp"

namespace quorvel::tool {
namespace {

struct IconvCloser {
    void operator()(void* handle) const { iconv_close(static_cast<iconv_t>(handle)); }
};

}  // namespace

bool IsSupportedCodePage(int codePage) {
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 || codePage == 1252;
}

std::string FromUtf8(std::string_view text, int codePage, const std::string& what) {
    const std::string target = "CP" + std::to_string(codePage);
    std::unique_ptr<void, IconvCloser> converter(iconv_open(target.c_str(), "UTF-8"));
    if (converter.get() == reinterpret_cast<void*>(-1)) {
        converter.release();
        throw ToolError("code page " + std::to_string(codePage) + " is not available on this system");
    }
    std::string out(text.size() * 2 + 8, '\0');
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* to = out.data();
    std::size_t outLeft = out.size();
    if (iconv(static_cast<iconv_t>(converter.get()), &in, &inLeft, &to, &outLeft) == static_cast<std::size_t>(-1)) {
        throw ToolError(what + ": " +
                        (errno == EILSEQ ? "holds a character that code page " + std::to_string(codePage) + " cannot represent"
                                         : std::string("is not valid UTF-8")));
    }
    out.resize(out.size() - outLeft);
    return out;
}

std::size_t CharacterLength(std::string_view text, std::size_t at, int codePage) {
    if (IsLeadByte(static_cast<unsigned char>(text[at]), static_cast<unsigned>(codePage)) && at + 1 < text.size()) return 2;
    return 1;
}

}  // namespace quorvel::tool
