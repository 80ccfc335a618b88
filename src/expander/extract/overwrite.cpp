#include "expander/extract/overwrite.hpp"

#include "expander/console/console.hpp"
#include "expander/console/messages.hpp"
#include "expander/platform/platform.hpp"

namespace quorvel::expander {

Overwrite AskOverwrite(const char* name, const char* leaf) {
    if (!NameExists(name, leaf)) return Overwrite::Create;
    WriteName(name);
    WriteText(message::kAlreadyExists);
    WriteChar(kBell);
    FlushOutput();
    for (;;) {
        char answer = ReadChar();
        SkipLine();
        if (answer >= 'a' && answer <= 'z') answer = static_cast<char>(answer - 'a' + 'A');
        if (answer == 'Y') return Overwrite::Replace;
        if (answer == 'N' || answer == kEndOfInputMark) return Overwrite::Skip;
    }
}

}  // namespace quorvel::expander
