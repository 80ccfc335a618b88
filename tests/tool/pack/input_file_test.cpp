// Reading an input the walk met: the file it found is read (or mapped, as large files are),
// up to the size it had then, and whatever stands in its place by the time it is read is
// refused at once, neither waited for nor read on. Each change is made to a file met by
// itself and through a link. A mapped file keeps its start as it was mapped, and one cut
// short while mapped reads as zeros where it was cut and is then reported.
#include "tool/pack/input_file.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>

#include "support/expander_runner.hpp"
#include "tool/common/unique_fd.hpp"
#include "tool/pack/file_contents.hpp"
#include "tool/pack/mapped_input.hpp"

namespace quorvel::tool {
namespace {

namespace fs = std::filesystem;

const std::string kContents = "0123456789";

void Write(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}

struct Case {
    const char* what;
    std::function<void(const fs::path&)> change;  // made to the file between the walk and the read
    std::string error;                           // "" when it is read
    std::string warning;                         // expected when it is read, "" for none
};

const Case kCases[] = {
    {"unchanged", [](const fs::path&) {}, "", ""},
    {"grown", [](const fs::path& f) { std::ofstream(f, std::ios::app) << "more"; }, "",
     "grew while being packed; the 10 bytes it had when found are stored"},
    {"shrunk", [](const fs::path& f) { fs::resize_file(f, 4); }, "changed while being packed: it is shorter", ""},
    {"removed", [](const fs::path& f) { fs::remove(f); }, "cannot be read (No such file or directory)", ""},
    {"a pipe", [](const fs::path& f) { fs::remove(f), mkfifo(f.c_str(), 0600); },
     "changed while being packed: what stands where it was is no regular file", ""},
    {"a link to /dev/zero", [](const fs::path& f) { fs::remove(f), fs::create_symlink("/dev/zero", f); },
     "changed while being packed: a link stands where it was", ""},
    {"another file",
     [](const fs::path& f) {
         Write(f.string() + ".new", kContents);
         fs::rename(f.string() + ".new", f);
     },
     "changed while being packed: another file stands where it was", ""},
};

TEST(ReadInputFileTest, ReadsTheFileTheWalkMetOrRefusesWhatStandsInItsPlace) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        const test::TempFolder work;
        fs::create_directories(work / "in");
        Write(work / "in/file", kContents);
        fs::create_symlink("file", work / "in/link");
        LeftOutInputs leftOut(false, [](const std::string& text) { ADD_FAILURE() << text; });
        const std::vector<InputEntry> entries = CollectInputs({(work / "in").string()}, {.output = work / "out"},
                                                              leftOut, [](const std::string&) {});
        c.change(work / "in/file");
        for (const char* name : {"in\\file", "in\\link"}) {
            SCOPED_TRACE(name);
            const auto entry = std::find_if(entries.begin(), entries.end(),
                                            [&](const InputEntry& e) { return e.storedName == name; });
            ASSERT_NE(entry, entries.end());
            for (const bool mapped : {false, true}) {
                SCOPED_TRACE(mapped ? "mapped" : "read");
                std::string warnings;
                const WarningSink warn = [&](const std::string& text) { warnings += text; };
                try {
                    std::string contents;
                    if (mapped) {
                        const OpenedInputFile input = MapInputFile(*entry, warn);
                        EXPECT_NE(input.lent.owner, nullptr);
                        contents.assign(input.Contents().begin(), input.Contents().end());
                    } else {
                        const InputFile input = ReadInputFile(*entry, warn);
                        contents.assign(input.contents.begin(), input.contents.end());
                    }
                    EXPECT_EQ(c.error, "");
                    EXPECT_EQ(contents, kContents);
                    EXPECT_NE(warnings.find(c.warning), std::string::npos) << warnings;
                    EXPECT_EQ(warnings.empty(), c.warning.empty()) << warnings;
                } catch (const FileReadError& error) {
                    EXPECT_EQ(std::string(error.what()).rfind(entry->source.string() + ": " + c.error, 0), 0u)
                        << error.what();
                    EXPECT_EQ(error.reason.rfind(c.error, 0), 0u) << error.reason;
                    EXPECT_NE(c.error, "") << error.what();
                }
            }
        }
    }
}

TEST(MappedInputTest, KeepsItsStartAndReadsZerosWhereTheFileWasCut) {
    const test::TempFolder work;
    const fs::path file = work / "large";
    const std::size_t size = 3 * MappedInput::kCopiedStart + (3u << 20);
    Write(file, std::string(size, 'a'));
    const UniqueFd fd(open(file.c_str(), O_RDWR));
    const std::unique_ptr<MappedInput> input = MappedInput::Map(fd.get(), size, file);
    ASSERT_NE(input, nullptr);
    MappedInput& mapped = *input;
    const std::span<const std::uint8_t> bytes = mapped.Bytes();
    // Pages let go of, in pieces or all at once, are read again.
    for (std::size_t piece : {std::size_t{5000}, size}) {
        for (std::size_t at = 0; at < size; at += piece) mapped.LetGo(at, at + piece);
        EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 'a'), static_cast<std::ptrdiff_t>(size));
    }
    EXPECT_NO_THROW(mapped.CheckRead());
    // Written over after it was mapped, then cut to half.
    ASSERT_EQ(pwrite(fd.get(), std::string(size / 2, 'b').data(), size / 2, 0), static_cast<ssize_t>(size / 2));
    ASSERT_EQ(ftruncate(fd.get(), static_cast<off_t>(size / 2)), 0);
    EXPECT_EQ(std::count(bytes.begin(), bytes.begin() + MappedInput::kCopiedStart, 'a'),
              static_cast<std::ptrdiff_t>(MappedInput::kCopiedStart));
    EXPECT_EQ(bytes[size / 2 - 1], 'b');
    EXPECT_EQ(std::count(bytes.begin() + size / 2 + 4096, bytes.end(), 0), static_cast<std::ptrdiff_t>(size / 2 - 4096));
    try {
        mapped.CheckRead();
        ADD_FAILURE() << "a cut went unnoticed";
    } catch (const FileReadError& error) {
        EXPECT_EQ(error.reason, "changed while being packed: it was cut short while it was read");
    }
}

}  // namespace
}  // namespace quorvel::tool
