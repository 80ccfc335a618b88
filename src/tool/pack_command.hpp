// quorvel pack: makes a self-extracting file from folders and files.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::tool {

constexpr int kDefaultEffort = 6;

struct PackOptions {
    std::string output;
    std::vector<std::string> paths;
    std::optional<std::string> baseFolder;  // -C
    std::string stub = "windows";           // windows, native, or a file
    std::string comment;                    // UTF-8
    std::string runCommand;                 // UTF-8
    bool askPassword = false;
    std::optional<std::string> passwordFile;
    int codePage = 1252;
    bool allowUnportableNames = false;  // warn about names Windows cannot create, not refuse
    int effort = kDefaultEffort;
    bool quiet = false;
    bool help = false;
};

PackOptions ParsePackOptions(const std::vector<std::string_view>& arguments);
int RunPack(const PackOptions& options);
extern const char kPackUsage[];

}  // namespace quorvel::tool
