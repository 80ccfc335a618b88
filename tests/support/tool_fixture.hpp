// Running the quorvel tool as its users do, and the folder trees the tool tests pack.
#pragma once

#include "support/archive_fixture.hpp"

namespace quorvel::test {

namespace fs = std::filesystem;

inline const std::string kQuorvel = std::string(QUORVEL_BIN_DIR) + "/quorvel";

inline RunResult Quorvel(std::vector<std::string> arguments, RunOptions options = {}) {
    arguments.insert(arguments.begin(), kQuorvel);
    return RunProgram(arguments, options);
}

inline void WriteFile(const fs::path& file, const Bytes& bytes) {
    fs::create_directories(file.parent_path());
    WriteBytes(file, bytes);
}

// Nested and empty folders, empty files, files above 16384 and 40960 bytes, near-duplicates
// that take references, and more than 256 files so that the history ring wraps.
inline void MakeSampleTree(const fs::path& root, int smallFiles) {
    fs::create_directories(root / "empty" / "deeper-empty");
    WriteFile(root / "zero.bin", {});
    WriteFile(root / "docs" / "big.txt", WordBytes(120000, 1));
    WriteFile(root / "docs" / "mid.txt", WordBytes(20000, 2));
    Bytes near = WordBytes(20000, 2);
    near[15000] ^= 0x20;
    near.insert(near.end(), {'t', 'a', 'i', 'l'});
    WriteFile(root / "docs" / "near copy.txt", near);
    WriteFile(root / "bin" / "random.bin", RandomBytes(50000, 3));
    for (int i = 0; i < smallFiles; ++i) {
        std::string text = "/* header " + std::to_string(i) + " */\n#define VALUE_" + std::to_string(i * 7) + "\n";
        WriteFile(root / "many" / ("f" + std::to_string(i) + ".h"), ToBytes(text));
    }
}

}  // namespace quorvel::test
