#include "support/expander_runner.hpp"

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace quorvel::test {

std::string BuildName(Build build) { return build == Build::Native ? "Native" : "Windows"; }

std::vector<std::uint8_t> StubBytes(Build build) {
    return ReadBytes(build == Build::Native ? QUORVEL_NATIVE_STUB : QUORVEL_WINDOWS_STUB);
}

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
    if (build == Build::Native) return RunProgram({file.string()}, options);
    options.environment.emplace("WINEPREFIX", QUORVEL_WINE_PREFIX);
    options.environment.emplace("WINEDEBUG", "-all");
    options.environment.emplace("WINEDLLOVERRIDES", "mscoree,mshtml=");
    return RunProgram({"wine", file.string()}, options);
}

RunResult RunArchive(Build build, const TempFolder& folder, std::span<const std::uint8_t> archive,
                     RunOptions options) {
    std::vector<std::uint8_t> bytes = StubBytes(build);
    bytes.insert(bytes.end(), archive.begin(), archive.end());
    const std::filesystem::path file = folder / "sfx.exe";
    WriteBytes(file, bytes);
    return RunSelfExtractor(build, file, std::move(options));
}

}  // namespace quorvel::test
