#include "support/expander_runner.hpp"

#include "support/extract_differential.hpp"

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <stdexcept>

namespace quorvel::test {
namespace {

// How the Windows cases run, as the Wine fixture decided it for this test run.
struct WindowsRun {
    bool twin;  // the x86_64 twin under 64-bit Wine, not the shipped i686 build
    std::string loader;
    std::string server;
    std::string prefix;
};

const WindowsRun& Windows() {
    static const WindowsRun run = [] {
        const std::string file = std::string(QUORVEL_WINE_STATE) + "/windows.env";
        std::ifstream in(file);
        if (!in) throw std::runtime_error(file + " is missing: the Wine fixture (wine_prefix_start) did not run");
        std::map<std::string, std::string> values;
        for (std::string line; std::getline(in, line);)
            if (const auto equals = line.find('='); equals != std::string::npos)
                values[line.substr(0, equals)] = line.substr(equals + 1);
        return WindowsRun{values["variant"] == "x86_64", values["loader"], values["server"], values["prefix"]};
    }();
    return run;
}

}  // namespace

std::string BuildName(Build build) { return build == Build::Native ? "Native" : "Windows"; }

std::string StubProgramPath(Build build, const std::string& stem) {
    // A test run may put another native Expander in front of its archives: the sanitizer
    // build's stand-in.
    const char* native = std::getenv("QUORVEL_NATIVE_EXPANDER");
    if (build == Build::Native && stem == "expander" && native != nullptr) return native;
    const std::string path = std::string(QUORVEL_STUB_DIR) + "/" + stem;
    if (build == Build::Native) return path;
    return path + (Windows().twin ? "64.exe" : ".exe");
}

std::vector<std::uint8_t> StubBytes(Build build) { return ReadBytes(StubProgramPath(build, "expander")); }

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quorvel-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

void WriteBytes(const std::filesystem::path& file, std::span<const std::uint8_t> bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ReadText(const std::filesystem::path& file) {
    const std::vector<std::uint8_t> bytes = ReadBytes(file);
    return {bytes.begin(), bytes.end()};
}

RunResult RunSelfExtractor(Build build, const std::filesystem::path& file, RunOptions options) {
    chmod(file.c_str(), 0755);
    if (options.workingFolder.empty()) options.workingFolder = file.parent_path().string();
    if (build == Build::Native) {
        RunResult result = RunProgram({file.string()}, options);
        // A sanitizer build's finding, shown with the failure it causes.
        if (result.errors.find("Sanitizer") != std::string::npos) std::cerr << result.errors;
        return result;
    }
    const WindowsRun& windows = Windows();
    options.environment.emplace("WINEPREFIX", windows.prefix);
    options.environment.emplace("WINESERVER", windows.server);
    options.environment.emplace("WINELOADER", windows.loader);
    options.environment.emplace("WINEDEBUG", "-all");
    options.environment.emplace("WINEDLLOVERRIDES", "mscoree,mshtml=");
    RunResult result = RunProgram({windows.loader, file.string()}, options);
    // The Expander's first act is to print its banner: a failed run with no output at all is
    // Wine that did not start the program (seen once in a few thousand runs, in a hundredth
    // of a second), so it is started once more, and what Wine said is shown.
    if (result.output.empty() && result.exitCode > 0) {
        std::cerr << "Wine did not start " << file.filename().string() << " (exit code " << result.exitCode
                  << "): " << result.errors << "; starting it again\n";
        result = RunProgram({windows.loader, file.string()}, options);
    }
    return result;
}

// A native run in an empty folder that needed no answers and succeeded is checked against
// quorvel extract.
RunResult RunArchive(Build build, const TempFolder& folder, std::span<const std::uint8_t> archive,
                     RunOptions options) {
    std::vector<std::uint8_t> bytes = StubBytes(build);
    bytes.insert(bytes.end(), archive.begin(), archive.end());
    const std::filesystem::path file = folder / "sfx.exe";
    const bool compared = build == Build::Native && options.input.empty() && options.workingFolder.empty() &&
                          std::filesystem::is_empty(folder.path());
    WriteBytes(file, bytes);
    RunResult result = RunSelfExtractor(build, file, options);
    if (compared && result.exitCode == 0) ExpectQuorvelExtractsTheSame(file, folder.path(), options);
    return result;
}

}  // namespace quorvel::test
