#include "tool/common/passwords.hpp"

#include <cstdlib>
#include <iostream>

#include "tool/common/code_page.hpp"
#include "tool/common/password_prompt.hpp"
#include "tool/common/reporter.hpp"
#include "tool/common/tool_error.hpp"

namespace quorvel::tool {
namespace {

constexpr int kTries = 3;
constexpr char kEnvironmentVariable[] = "QUORVEL_PASSWORD";

// A password given in UTF-8, in the archive's code page. A password that the code page
// cannot represent cannot be the archive's either.
std::string InCodePage(const std::string& password, int codePage) {
    return FromUtf8(password, codePage, "the password");
}

// The Expander reads a password up to CR and takes 0x1A for the end of its input, so a
// password holding either, or LF or a zero byte, could never be typed back to it.
void RefuseUntypable(const std::string& password) {
    const struct {
        char byte;
        const char* name;
    } untypable[] = {{'\r', "CR"}, {'\n', "LF"}, {'\x1A', "0x1A"}, {'\0', "a zero byte"}};
    for (const auto& [byte, name] : untypable)
        if (password.find(byte) != std::string::npos)
            throw ToolError(std::string("the password holds ") + name +
                            ": the Expander could not read it back (a password cannot hold CR, LF, 0x1A or zero bytes)");
}

}  // namespace

std::string PasswordForPacking(const PackOptions& options, Reporter& reporter) {
    // Only --password and --password-file scramble: a variable exported for reading archives
    // must not scramble every archive made meanwhile. It answers --password instead of the
    // terminal.
    if (!options.askPassword && !options.passwordFile) return "";
    const char* given = std::getenv(kEnvironmentVariable);
    const bool inEnvironment = given != nullptr && *given != 0;
    std::string password;
    if (options.passwordFile) {
        password = ReadPasswordFile(*options.passwordFile);
    } else if (inEnvironment) {
        password = given;
        if (!options.quiet) reporter.Note(std::string("scrambled with the password in ") + kEnvironmentVariable);
    } else {
        password = AskNewPassword();
    }
    if (password.empty()) throw ToolError("the password is empty");
    RefuseUntypable(password);
    return InCodePage(password, options.codePage);
}

std::vector<PasswordMatch> PasswordForReading(const ReadOptions& options, const reader::ArchiveHeader& header,
                                              std::span<const int> codePages) {
    if (!header.Scrambled()) return {};
    // The conversions that pass; a password one code page cannot represent is not the
    // archive's in that code page.
    const auto matches = [&](const std::string& utf8) {
        std::vector<PasswordMatch> found;
        for (const int codePage : codePages) {
            std::string password;
            try {
                password = InCodePage(utf8, codePage);
            } catch (const ToolError&) {
                if (codePages.size() == 1) throw;
                continue;
            }
            if (reader::PasswordMatches(header, password)) found.push_back({codePage, std::move(password)});
        }
        return found;
    };
    const auto checked = [&](const std::string& utf8, const std::string& source) {
        std::vector<PasswordMatch> found = matches(utf8);
        if (found.empty()) throw ToolError("the password " + source + " is wrong");
        return found;
    };
    if (options.passwordFile) return checked(ReadPasswordFile(*options.passwordFile), "in " + *options.passwordFile);
    if (const char* given = std::getenv(kEnvironmentVariable); given != nullptr && *given != 0)
        return checked(given, std::string("in ") + kEnvironmentVariable);
    if (!CanAskPassword())
        throw ToolError(std::string("the archive is scrambled: give its password with --password-file FILE or ") +
                        kEnvironmentVariable + ", or run on a terminal to be asked");
    for (int attempt = 1; attempt <= kTries; ++attempt) {
        std::vector<PasswordMatch> found = matches(AskPassword());
        if (!found.empty()) return found;
        Reporter().Error(std::string("wrong password") + (attempt < kTries ? ", try again" : ""));
    }
    throw ToolError("the password is wrong (" + std::to_string(kTries) + " tries)");
}

}  // namespace quorvel::tool
