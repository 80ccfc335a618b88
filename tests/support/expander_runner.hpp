// Self-extracting files assembled from a built Expander and run in a folder of their own:
// the native build directly, the Windows build under Wine.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "support/run_program.hpp"

namespace quorvel::test {

enum class Build { Native, Windows };

std::string BuildName(Build build);
// A program built like the Expander ("expander", "fault_probe") for a build. For Windows,
// the one this test run executes: the shipped i686 file or its x86_64 twin.
std::string StubProgramPath(Build build, const std::string& stem);
// The padded Expander program of a build.
std::vector<std::uint8_t> StubBytes(Build build);

// A fresh folder that is removed with everything in it at the end of its scope.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

void WriteBytes(const std::filesystem::path& file, std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& file);
std::string ReadText(const std::filesystem::path& file);

// Writes stub + archive as an executable file and runs it with its folder as the working
// folder, unless options name another.
RunResult RunSelfExtractor(Build build, const std::filesystem::path& file, RunOptions options);

// Stub + archive bytes, written to folder/"sfx.exe" and run there.
RunResult RunArchive(Build build, const TempFolder& folder, std::span<const std::uint8_t> archive,
                     RunOptions options = {});

}  // namespace quorvel::test
