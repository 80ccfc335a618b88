#include "extract/overwrite.hpp"

#include "console/console.hpp"
#include "console/messages.hpp"
#include "platform/platform.hpp"

namespace quorvel {

bool AskOverwrite(const char* name) {
    if (FindAttributes(name) < 0) return false;
    WriteText(name);
    WriteText(message::kAlreadyExists);
    WriteChar(kBell);
    FlushOutput();
    for (;;) {
        char answer = ReadChar();
        SkipLine();
        if (answer >= 'a' && answer <= 'z') answer = static_cast<char>(answer - 'a' + 'A');
        if (answer == 'Y') return false;
        if (answer == 'N' || answer == kEndOfInputMark) return true;
    }
}

}  // namespace quorvel
