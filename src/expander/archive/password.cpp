// The password question: three tries, each answer tested by its Crc16 against the check
// stored in the header. The accepted answer is the descrambling key.
#include "expander/archive/block_stream.hpp"
#include "expander/archive/open_archive.hpp"
#include "expander/console/console.hpp"
#include "expander/console/messages.hpp"
#include "expander/expander_namespace.hpp"
#include "format/crc16.hpp"

namespace quorvel::expander {
namespace {

void AppendToPassword(char byte) { Password.Append(byte); }

}  // namespace

void AskPassword() {
    for (int tries = 1; tries <= 3; ++tries) {
        WriteText(message::kPassword);
        FlushOutput();
        Password.Clear();
        ReadText(AppendToPassword);
        SkipLine();
        const auto* answer = reinterpret_cast<const std::uint8_t*>(Password.CStr());
        // An empty answer cannot serve as a key, so it is never accepted.
        if (Password.length != 0 && Crc16(CheckTables, answer, Password.length) == PasswordCheck) return;
    }
    EndProgram(kExitRefused);
}

}  // namespace quorvel::expander
