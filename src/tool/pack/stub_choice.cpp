#include "tool/pack/stub_choice.hpp"

#include <filesystem>
#include <system_error>

#include "format/archive_format.hpp"
#include "format/stub_kind.hpp"
#include "tool/common/tool_error.hpp"
#include "tool/pack/embedded_stubs.hpp"
#include "tool/pack/file_contents.hpp"
#include "tool/tool_namespace.hpp"

namespace quorvel::tool {
namespace {

bool EndsInExe(const std::string& name) {
    if (name.size() < 4) return false;
    std::string extension = name.substr(name.size() - 4);
    for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return extension == ".exe";
}

}  // namespace

std::string StubChoiceFor(const std::optional<std::string>& given, const std::string& output) {
    if (given) return *given;
    return EndsInExe(output) ? kWindowsStub : kNativeStub;
}

bool IsKnownStubChoice(const std::string& given) {
    std::error_code error;
    return given == kWindowsStub || given == kNativeStub || (!given.empty() && std::filesystem::exists(given, error));
}

std::string StubChoiceNote(const std::string& choice, const std::string& output) {
    if (choice == kWindowsStub)
        return output + " gets the Windows Expander, as its name ends in .exe (--stub native for Linux)";
    return output + " gets the native Linux Expander, as its name does not end in .exe (--stub windows for Windows)";
}

std::vector<std::uint8_t> ChooseStub(const std::string& choice) {
    std::vector<std::uint8_t> bytes;
    if (choice == kWindowsStub || choice == kNativeStub) {
        const std::span<const std::uint8_t> built = choice == kWindowsStub ? WindowsStub() : NativeStub();
        bytes.assign(built.begin(), built.end());
    } else {
        bytes = ReadContents(choice);
    }
    if (bytes.size() != static_cast<std::size_t>(StubSize))
        throw ToolError(choice + ": an Expander must be exactly 20480 bytes, not " + std::to_string(bytes.size()));
    if (IdentifyStub(bytes) == StubKind::Unknown)
        throw ToolError(choice + ": no Expander: neither a Windows program (PE, i686 or x86_64) nor a Linux x86_64 program (ELF)");
    return bytes;
}

bool IsWindowsStubChoice(const std::string& choice, std::span<const std::uint8_t> stub) {
    if (choice == kWindowsStub) return true;
    if (choice == kNativeStub) return false;
    return IsWindowsStub(IdentifyStub(stub));
}

}  // namespace quorvel::tool
