// Sample contents, and a sample archive of what an extraction meets: nested folders and an
// empty one, an empty file, text and random data, files that start from earlier ones with
// and without a shared prefix and, when asked for, more files than the history ring holds.
// Used by tests and as the fuzzers' seed inputs, so it needs no test framework.
#pragma once

#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "packer/entry_writer.hpp"
#include "support/parts.hpp"

namespace quorvel::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes ToBytes(const std::string& text) { return {text.begin(), text.end()}; }

inline Bytes RandomBytes(std::size_t n, std::uint32_t seed) {
    std::mt19937 random(seed);
    Bytes bytes(n);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    return bytes;
}

// Text-like data that compresses: words drawn from a small vocabulary. The text for a seed
// is the same whatever its length, so a shorter one is a prefix of a longer one.
inline Bytes WordBytes(std::size_t n, std::uint32_t seed) {
    static const char* const kWords[] = {"alpha ", "beta ", "gamma ", "delta\r\n", "epsilon ", "zeta, "};
    std::mt19937 random(seed);
    std::string text;
    while (text.size() < n) text += kWords[random() % 6];
    text.resize(n);
    return ToBytes(text);
}

// The entries, and the tree an extraction makes of them: every folder (parents included)
// and every file, by path with '/' between parts.
struct SampleArchive {
    EntryWriter entries;
    std::set<std::string> folders;
    std::map<std::string, Bytes> files;

    void AddFolder(const std::string& name) {
        entries.AddFolder(name);
        NoteFolders(name + "\\");
    }
    void AddFile(const std::string& name, const Bytes& contents, EntryReference reference = {}) {
        entries.AddFile(name, {0x01D0'0000'0000'0000ULL, 0x01D1'0000'0000'0000ULL, 0x01D2'0000'0000'0000ULL},
                        contents, reference);
        NoteFolders(name);
        files[Slashed(name)] = contents;
    }

private:
    static std::string Slashed(std::string name) {
        for (char& c : name)
            if (c == '\\') c = '/';
        return name;
    }
    void NoteFolders(const std::string& name) {
        for (std::size_t end = name.find('\\'); end != std::string::npos; end = name.find('\\', end + 1))
            folders.insert(Slashed(name.substr(0, end)));
    }
};

// randomBytes of data that does not compress set the payload's size; ringFiles small files
// at the end, the last of them starting from the one 255 file entries before it, make the
// ring wrap when there are more than 256 files in all.
inline SampleArchive MakeSampleArchive(std::size_t randomBytes, std::size_t ringFiles = 0) {
    SampleArchive sample;
    sample.AddFolder("docs\\empty");
    sample.AddFile("docs\\readme.txt", WordBytes(6000, 1));
    const Bytes notes = WordBytes(5000, 2);
    sample.AddFile("docs\\notes\\a.txt", notes);
    Bytes shared(notes.begin(), notes.begin() + 3000);
    const Bytes tail = WordBytes(2000, 3);
    shared.insert(shared.end(), tail.begin(), tail.end());
    sample.AddFile("docs\\notes\\b.txt", shared, {1, 3000});
    sample.AddFile("empty.txt", {});
    sample.AddFile("data\\random.bin", RandomBytes(randomBytes, 4));
    // Shares no prefix with a.txt but begins like it: the window preset serves.
    sample.AddFile("data\\preset.txt", WordBytes(4000, 2), {4, 0});
    for (std::size_t i = 0; i < ringFiles; ++i) {
        const bool reachBack = i + 1 == ringFiles && i >= 255;
        const std::size_t source = reachBack ? i - 255 : i;
        sample.AddFile("ring\\f" + std::to_string(i), WordBytes(4 + source % 8, static_cast<std::uint32_t>(source)),
                       reachBack ? EntryReference{255, 4} : EntryReference{});
    }
    sample.AddFile("last.txt", ToBytes("the end\r\n"));
    return sample;
}

}  // namespace quorvel::test
