#include "tool/cli/command_line.hpp"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <map>

#include "tool/common/code_page.hpp"
#include "tool/pack/stub_choice.hpp"

namespace quorvel::tool {
namespace {

// Options that every command has: --help, and the arguments that are no options.
struct CommandArguments {
    bool help = false;
    std::vector<std::string> positionals;
};

CLI::App* AddCommand(CLI::App& app, const std::string& name, CommandArguments& arguments) {
    CLI::App* command = app.add_subcommand(name);
    command->set_help_flag();
    command->add_flag("-h,--help", arguments.help);
    command->add_option("arguments", arguments.positionals);
    return command;
}

void AddPackOptions(CLI::App& pack, PackOptions& options, std::string& codePage) {
    pack.add_option("-o", options.output);
    pack.add_option("-C", options.baseFolder);
    pack.add_option("--stub", options.stub);
    CLI::Option* comment = pack.add_option("--comment", options.comment);
    pack.add_option("--comment-file", options.commentFile)->excludes(comment);
    pack.add_option("--run", options.runCommand);
    CLI::Option* ask = pack.add_flag("--password", options.askPassword);
    pack.add_option("--password-file", options.passwordFile)->excludes(ask);
    pack.add_option("--codepage", codePage);
    pack.add_flag("--allow-unportable-names", options.allowUnportableNames);
    pack.add_flag("--strict", options.strict);
    for (int effort = 1; effort <= 9; ++effort)
        pack.add_flag_callback("-" + std::to_string(effort), [&options, effort] { options.effort = effort; });
    pack.add_option("--threads", options.threads)->check(CLI::Range(1u, kMaxPackThreads));
    pack.add_flag("-q", options.quiet);
    pack.add_flag("-L", options.followFolderLinks);
    pack.add_flag("-v", options.verbose);
}

void AddReadOptions(CLI::App& command, ReadOptions& options, std::string& codePage) {
    command.add_option("--codepage", codePage);
    command.add_option("--password-file", options.passwordFile);
}

// --overwrite is taken as text and read by ParseOverwrite, so that a wrong value gets a
// plain usage line.
void AddExtractOptions(CLI::App& extract, ExtractOptions& options, std::optional<std::string>& overwriteText) {
    extract.add_option("-d", options.folder);
    CLI::Option* overwrite = extract.add_option("--overwrite", overwriteText)->option_text("ask|always|never|rename");
    CLI::Option* always = extract.add_flag_callback("-y", [&options] { options.overwrite = Overwrite::Always; });
    CLI::Option* never = extract.add_flag_callback("-n", [&options] { options.overwrite = Overwrite::Never; });
    overwrite->excludes(always)->excludes(never);
    always->excludes(never);
    extract.add_flag("-q", options.quiet);
}

int ParseCodePage(const std::string& command, const std::string& text) {
    if (text.empty()) return kDefaultCodePage;
    const bool digits = std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    const int codePage = digits && text.size() <= 5 ? std::stoi(text) : 0;
    if (!IsSupportedCodePage(codePage) || std::to_string(codePage) != text)
        throw CommandLineError(command, "--codepage takes 932, 936, 949, 950 or 1252, not " + text);
    return codePage;
}

// The words only; a number is no choice.
Overwrite ParseOverwrite(const std::string& text) {
    const std::map<std::string, Overwrite> choices = {
        {"ask", Overwrite::Ask}, {"always", Overwrite::Always}, {"never", Overwrite::Never}, {"rename", Overwrite::Rename}};
    const auto choice = choices.find(text);
    if (choice == choices.end())
        throw CommandLineError("extract", "--overwrite takes ask, always, never or rename, not \"" + text + "\"");
    return choice->second;
}

// For list, test and extract: none when not given, the code page is then guessed.
std::optional<int> ParseReadCodePage(const std::string& command, const std::string& text) {
    if (text.empty()) return std::nullopt;
    return ParseCodePage(command, text);
}

// Arguments after the first "--" are taken as they are, even when they begin with a dash.
// CLI11 returns a "--" met after a command's first positional argument to the tool level,
// so the split is made here.
std::vector<std::string> TakeAfterMark(std::vector<std::string>& arguments) {
    const auto mark = std::find(arguments.begin(), arguments.end(), "--");
    if (mark == arguments.end()) return {};
    std::vector<std::string> rest(mark + 1, arguments.end());
    arguments.erase(mark, arguments.end());
    return rest;
}

std::string CommandOf(const std::vector<std::string>& arguments) {
    static const char* const kCommands[] = {"pack", "list", "test", "extract"};
    if (arguments.empty()) return "";
    for (const char* command : kCommands)
        if (arguments[0] == command) return command;
    return "";
}

void ExpectOneArchive(const std::string& command, const std::vector<std::string>& positionals, std::size_t atMost) {
    if (positionals.empty()) throw CommandLineError(command, "no ARCHIVE given");
    if (positionals.size() > atMost)
        throw CommandLineError(command, "one ARCHIVE only; \"" + positionals[1] + "\" is one too many");
}

// CLI11 takes a word that is no option it knows but reads as a negative number ("-0", or
// "-10", which it splits into -1 and -0) for an argument. Before "--" it is a mistyped
// option, named as it was typed.
void RefuseNumberArguments(const std::vector<std::string>& typed, const std::vector<std::string>& positionals) {
    const auto dashed = [](const std::string& word) { return word.size() > 1 && word[0] == '-'; };
    const auto mistaken = std::find_if(positionals.begin(), positionals.end(), dashed);
    if (mistaken == positionals.end()) return;
    const auto isEffort = [](const std::string& word) { return word.size() == 2 && word[1] >= '1' && word[1] <= '9'; };
    const auto number = std::find_if(typed.begin(), typed.end(), [&](const std::string& word) {
        return dashed(word) && !isEffort(word) && std::all_of(word.begin() + 1, word.end(), [](char c) { return c >= '0' && c <= '9'; });
    });
    throw CommandLineError("pack", (number != typed.end() ? *number : *mistaken) +
                                       " is no option; the effort is one of -1 .. -9");
}

void CheckPack(const PackOptions& options) {
    if (options.output.empty()) throw CommandLineError("pack", "no output given (-o OUTPUT)");
    if (options.paths.empty()) throw CommandLineError("pack", "nothing to pack: give one PATH or more");
    if (options.stub && !IsKnownStubChoice(*options.stub))
        throw CommandLineError("pack", "--stub takes windows, native or an Expander FILE; \"" + *options.stub +
                                           "\" is neither word nor an existing file");
}

}  // namespace

Command ParseCommandLine(const std::vector<std::string>& given) {
    if (given.empty()) throw CommandLineError("", "no command given");
    const std::string commandName = CommandOf(given);
    if (commandName.empty() && !given[0].starts_with("-")) throw CommandLineError("", "unknown command " + given[0]);
    std::vector<std::string> arguments = given;
    std::vector<std::string> afterMark = TakeAfterMark(arguments);

    CLI::App app("quorvel");
    app.set_help_flag();
    bool help = false;
    bool version = false;
    app.add_flag("-h,--help", help);
    app.add_flag("--version", version);
    app.require_subcommand(0, 1);

    PackOptions pack;
    ListOptions list;
    TestOptions test;
    ExtractOptions extract;
    CommandArguments packArguments, listArguments, testArguments, extractArguments;
    std::string packCodePage, listCodePage, testCodePage, extractCodePage;
    std::optional<std::string> overwriteText;
    CLI::App* packCommand = AddCommand(app, "pack", packArguments);
    AddPackOptions(*packCommand, pack, packCodePage);
    CLI::App* listCommand = AddCommand(app, "list", listArguments);
    AddReadOptions(*listCommand, list.read, listCodePage);
    listCommand->add_flag("--json", list.json);
    CLI::App* testCommand = AddCommand(app, "test", testArguments);
    AddReadOptions(*testCommand, test.read, testCodePage);
    testCommand->add_flag("-q", test.quiet);
    CLI::App* extractCommand = AddCommand(app, "extract", extractArguments);
    AddReadOptions(*extractCommand, extract.read, extractCodePage);
    AddExtractOptions(*extractCommand, extract, overwriteText);

    std::reverse(arguments.begin(), arguments.end());
    try {
        app.parse(arguments);
    } catch (const CLI::ParseError& error) {
        throw CommandLineError(commandName, error.what());
    }
    if (version) return VersionRequest{};
    if (help || commandName.empty()) return HelpRequest{""};

    CommandArguments& chosen = packCommand->parsed()      ? packArguments
                               : listCommand->parsed()    ? listArguments
                               : testCommand->parsed()    ? testArguments
                                                          : extractArguments;
    if (chosen.help) return HelpRequest{commandName};
    std::vector<std::string> positionals = chosen.positionals;
    positionals.insert(positionals.end(), afterMark.begin(), afterMark.end());

    if (commandName == "pack") {
        RefuseNumberArguments({given.begin(), std::find(given.begin(), given.end(), "--")}, chosen.positionals);
        pack.paths = positionals;
        pack.codePage = ParseCodePage("pack", packCodePage);
        CheckPack(pack);
        return pack;
    }
    if (commandName == "list" || commandName == "test") {
        ExpectOneArchive(commandName, positionals, 1);
        ReadOptions& read = commandName == "list" ? list.read : test.read;
        read.archive = positionals[0];
        read.codePage = ParseReadCodePage(commandName, commandName == "list" ? listCodePage : testCodePage);
        if (commandName == "list") return list;
        return test;
    }
    if (overwriteText) extract.overwrite = ParseOverwrite(*overwriteText);  // it may have taken the ARCHIVE
    ExpectOneArchive("extract", positionals, positionals.size());
    extract.read.archive = positionals[0];
    extract.patterns.assign(positionals.begin() + 1, positionals.end());
    extract.read.codePage = ParseReadCodePage("extract", extractCodePage);
    return extract;
}

}  // namespace quorvel::tool
