#include "tool/common/portable_names.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvel::tool {
namespace {

// A problem as one line: its kind, "?" when only a warning, and its names.
std::string Line(const NameProblem& problem) {
    static const char* const kKinds[] = {"collision", "device", "character", "trailing", "too long", "long"};
    std::string line = kKinds[static_cast<int>(problem.kind)] + std::string(problem.warningOnly ? "?" : "") + ":";
    for (const std::string& name : problem.names) line += " " + name;
    return line;
}

struct Case {
    const char* what;
    int codePage;
    std::vector<std::string> names;
    std::vector<std::string> problems;
};

const std::string k200(200, 'n'), k201(201, 'n'), k260(260, 'n');

const Case kCases[] = {
    {"names equal but for ASCII case, in one folder", 1252,
     {"nf\\.", "nf\\xt_CONNMARK.h", "nf\\xt_connmark.h", "nf\\xt_MARK.h", "other\\xt_mark.h"},
     {"collision: nf\\xt_CONNMARK.h nf\\xt_connmark.h"}},
    {"a file and a folder, the folder given or implied", 1252,
     {"Docs", "docs\\.", "A\\x", "a\\y"},
     {"collision: A\\. a\\.", "collision: Docs docs\\."}},
    {"code page 1252 letters above 0x7F; not ÷ and ×, nor ß", 1252,
     {"caf\xE9", "CAF\xC9", "\x9A", "\x8A", "\xFF", "\x9F", "\xF7", "\xD7", "\xDF", "SS"},
     {"collision: CAF\xC9 caf\xE9", "collision: \x8A \x9A", "collision: \x9F \xFF"}},
    {"double-byte pages fold ASCII only, never a trail byte", 932,
     {"\x83\x41", "\x83\x61", "A\x83\x41", "a\x83\x41", "caf\xE9", "CAF\xC9"},
     {"collision: A\x83\x41 a\x83\x41"}},
    {"device names with any extension and case, as files or folders", 1252,
     {"CON", "Com1.tar.gz", "aux.txt", "com\xB9", "lpt9", "nul .txt", "prn\\x.txt", "COM0", "COM10", "CONSOLE", "xcon",
      "con_"},
     {"device: CON", "device: Com1.tar.gz", "device: aux.txt", "device: com\xB9", "device: lpt9", "device: nul .txt",
      "device: prn\\."}},
    {"reserved characters and control bytes", 1252,
     {"a<b", "a>b", "a:b", "a\"b", "a|b", "q?.txt", "w*\\f", "bell\x07", "tab\tx", "ok-_ #.txt"},
     {"character: a\"b", "character: a:b", "character: a<b", "character: a>b", "character: a|b", "character: bell\x07",
      "character: q?.txt", "character: tab\tx", "character: w*\\."}},
    {"a part ending in a period or a blank", 1252,
     {"dot.", "blank ", "dir.\\f", "aux.", ".hidden", "in .side"},
     {"device: aux.", "trailing: aux.", "trailing: blank ", "trailing: dir.\\.", "trailing: dot."}},
    {"trail bytes 0x7C and 0x5C are no character and no separator", 932,
     {"\x83\x7C.txt", "\x95\x5C" "CON"},
     {}},
    {"lengths: more than 200 bytes warned about, more than 259 refused", 1252,
     {k200, k201, "d\\" + k260},
     {"too long: d\\" + k260, "long?: " + k201}},
};

TEST(PortableNamesTest, EachRuleFindsItsNamesAndNoOthers) {
    for (const Case& test : kCases) {
        SCOPED_TRACE(test.what);
        std::vector<std::string> lines;
        for (const NameProblem& problem : FindUnportableNames(test.names, test.codePage)) {
            EXPECT_FALSE(problem.message.empty());
            lines.push_back(Line(problem));
        }
        EXPECT_EQ(lines, test.problems);
    }
}

}  // namespace
}  // namespace quorvel::tool
