#include "tool/stub_choice.hpp"

#include "format/archive_format.hpp"
#include "tool/embedded_stubs.hpp"
#include "tool/file_contents.hpp"
#include "tool/tool_error.hpp"

namespace quorvel::tool {

std::vector<std::uint8_t> ChooseStub(const std::string& choice) {
    std::vector<std::uint8_t> bytes;
    if (choice == "windows" || choice == "native") {
        const std::span<const std::uint8_t> built = choice == "windows" ? WindowsStub() : NativeStub();
        bytes.assign(built.begin(), built.end());
    } else {
        bytes = ReadContents(choice);
    }
    if (bytes.size() != static_cast<std::size_t>(StubSize))
        throw ToolError(choice + ": an Expander must be exactly 20480 bytes, not " + std::to_string(bytes.size()));
    return bytes;
}

bool IsWindowsStub(const std::string& choice, std::span<const std::uint8_t> stub) {
    if (choice == "windows") return true;
    if (choice == "native") return false;
    return stub.size() >= 2 && stub[0] == 'M' && stub[1] == 'Z';
}

}  // namespace quorvel::tool
