#include "tool/common/name_text.hpp"

#include <algorithm>

#include "reader/entry_path.hpp"

namespace quorvel::tool {

NameText::NameText(int codePage) : codePage_(codePage), converter_(std::make_unique<Utf8Converter>(codePage)) {}

void NameText::UseCodePage(int codePage) {
    if (codePage == codePage_) return;
    converter_ = std::make_unique<Utf8Converter>(codePage);
    codePage_ = codePage;
}

std::string NameText::Shown(std::string_view storedName) {
    const std::vector<std::string_view> parts = reader::NameParts(storedName, static_cast<unsigned>(codePage_));
    std::string shown;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) shown += '/';
        shown += converter_->Shown(parts[i]);
    }
    return shown;
}

std::string NameText::Shown(const reader::Entry& entry) {
    return Shown(entry.name) + (entry.kind == reader::EntryKind::Folder ? "/" : "");
}

std::string NameText::ShownText(std::string_view text) { return converter_->Shown(text); }

std::optional<std::vector<std::string>> NameText::SystemParts(std::string_view storedName) {
    std::vector<std::string> parts;
    for (const std::string_view part : reader::NameParts(storedName, static_cast<unsigned>(codePage_))) {
        std::optional<std::string> converted = converter_->Exact(part);
        if (!converted) return std::nullopt;
        parts.push_back(std::move(*converted));
    }
    return parts;
}

std::string Printable(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        std::size_t length = Utf8CharacterLength(text, at);
        // U+0080 to U+009F, the C1 controls, which some terminals obey as well.
        const bool c1 = length == 2 && byte == 0xC2 && static_cast<unsigned char>(text[at + 1]) < 0xA0;
        if (length == 0 || c1 || byte < 0x20 || byte == 0x7F) {
            for (length = std::max<std::size_t>(length, 1); length > 0; --length, ++at) {
                const auto escaped = static_cast<unsigned char>(text[at]);
                out += "\\x";
                out += kHex[escaped >> 4];
                out += kHex[escaped & 15];
            }
        } else {
            out.append(text, at, length);
            at += length;
        }
    }
    return out;
}

}  // namespace quorvel::tool
