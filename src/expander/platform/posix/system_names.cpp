#include "expander/platform/posix/system_names.hpp"

#include <iconv.h>

#include <cstdlib>
#include <cstring>

#include "expander/expander_namespace.hpp"
#include "expander/platform/platform.hpp"
#include "format/code_pages.hpp"

namespace quorvel::expander::posix {
namespace {

struct LocaleInfo {
    bool known;
    bool utf8;
    unsigned codePage;
};

LocaleInfo Locale;

const char* LocaleName() {
    const char* const variables[] = {"LC_ALL", "LC_CTYPE", "LANG"};
    for (const char* variable : variables) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != 0) return value;
    }
    return "C";
}

bool StartsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// The language and territory decide the code page: ja 932, zh_CN/zh_SG 936, ko 949,
// zh_TW/zh_HK 950, everything else 1252.
unsigned CodePageOf(const char* name) {
    auto language = [&](const char* prefix) {
        std::size_t n = std::strlen(prefix);
        return StartsWith(name, prefix) && std::strchr("_.@", name[n]) != nullptr;
    };
    if (language("ja")) return 932;
    if (language("ko")) return 949;
    if (language("zh_CN") || language("zh_SG")) return 936;
    if (language("zh_TW") || language("zh_HK")) return 950;
    return 1252;
}

bool IsUtf8Codeset(const char* name) {
    const char* dot = std::strchr(name, '.');
    if (dot == nullptr) return false;
    char codeset[8] = {};
    std::size_t n = 0;
    for (const char* at = dot + 1; *at != 0 && *at != '@'; ++at) {
        if (*at == '-') continue;
        if (n == sizeof codeset - 1) return false;
        codeset[n++] = static_cast<char>(*at | 0x20);
    }
    return std::strcmp(codeset, "utf8") == 0;
}

const LocaleInfo& CurrentLocale() {
    if (!Locale.known) {
        const char* name = LocaleName();
        Locale = {true, IsUtf8Codeset(name), CodePageOf(name)};
    }
    return Locale;
}

const char* CodesetName(unsigned codePage) {
    switch (codePage) {
        case 932: return "CP932";
        case 936: return "CP936";
        case 949: return "CP949";
        case 950: return "CP950";
        default: return "CP1252";
    }
}

bool ConvertToUtf8(const char* from, char (&out)[kSystemNameSize]) {
    static iconv_t converter = reinterpret_cast<iconv_t>(-1);
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        converter = iconv_open("UTF-8", CodesetName(CurrentLocale().codePage));
        if (converter == reinterpret_cast<iconv_t>(-1)) return false;
    }
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(from);
    std::size_t inLeft = std::strlen(from);
    char* to = out;
    std::size_t outLeft = kSystemNameSize - 1;
    if (iconv(converter, &in, &inLeft, &to, &outLeft) == static_cast<std::size_t>(-1)) return false;
    *to = 0;
    return true;
}

}  // namespace

bool ToSystemName(const char* name, char (&out)[kSystemNameSize]) {
    char slashed[kMaxNameLength + 1];
    std::size_t n = 0;
    for (const char* at = name; *at != 0;) {
        const char* next = NextChar(at);
        if (n + static_cast<std::size_t>(next - at) > kMaxNameLength) return false;
        if (*at == '\\') {
            slashed[n++] = '/';
        } else {
            for (const char* byte = at; byte != next; ++byte) slashed[n++] = *byte;
        }
        at = next;
    }
    slashed[n] = 0;
    if (CurrentLocale().utf8) return ConvertToUtf8(slashed, out);
    std::memcpy(out, slashed, n + 1);
    return true;
}

}  // namespace quorvel::expander::posix

namespace quorvel::expander {

const char* NextChar(const char* text) {
    return NextCharIn(text, posix::CurrentLocale().codePage);
}

}  // namespace quorvel::expander
