// The code page of an archive whose reader did not give one: the format does not record it,
// so it is told from the bytes of the names, the comment and the run command, by uchardet,
// and checked against them.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tool/common/reporter.hpp"

namespace quorvel::tool {

// The code pages an archive can be made for, the default first: the order a guess prefers.
inline constexpr int kCodePagesDefaultFirst[] = {1252, 932, 936, 949, 950};

// The texts a guess is made from: only those holding a byte beyond ASCII tell anything, and
// a few kilobytes of them are enough.
class NameSample {
public:
    void Add(std::string_view text);
    // Enough was kept; more would not change the guess.
    bool Full() const { return bytes_ >= kEnough; }
    // Whether any text held a byte beyond ASCII: else every code page reads them alike.
    bool BeyondAscii() const { return !texts_.empty(); }
    const std::vector<std::string>& Texts() const { return texts_; }

private:
    static constexpr std::size_t kEnough = 8192;
    std::vector<std::string> texts_;
    std::size_t bytes_ = 0;
};

// The code page the code page was taken as, and how.
struct CodePageChoice {
    int codePage = 1252;
    bool guessed = false;      // not given with --codepage
    bool beyondAscii = false;  // the names held bytes that read differently in each code page
};

// The one of `candidates` (supported code pages, in order of preference) that the sample
// reads in: uchardet's answer when every text has a meaning in it, else the first candidate
// in which every text has one, else the first candidate.
int GuessCodePage(const NameSample& sample, std::span<const int> candidates);

// The code page of a charset name uchardet gives ("SHIFT_JIS", "UHC", "WINDOWS-1252"...),
// or 0 for one no archive is made in (UTF-8, EUC-JP...) or none.
int CodePageOfCharset(std::string_view charset);

// "names read as code page 932 (guessed; --codepage sets it)", when the code page was
// guessed and the names read differently in another.
void NoteCodePage(const CodePageChoice& choice, Reporter& reporter);

}  // namespace quorvel::tool
