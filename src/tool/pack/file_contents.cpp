#include "tool/pack/file_contents.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "format/archive_format.hpp"
#include "tool/common/tool_error.hpp"
#include "tool/common/unique_fd.hpp"
#include "tool/tool_namespace.hpp"

namespace quorvel::tool {
namespace {

[[noreturn]] void Fail(const std::filesystem::path& file, const std::string& what) {
    throw FileReadError(file, what + " (" + std::strerror(errno) + ")");
}

void RefuseTooLarge(const std::filesystem::path& file, std::uint64_t size) {
    if (size > kSizeLimit) throw ToolError(file.string() + ": 2^31 bytes or more cannot be stored");
}

}  // namespace

std::size_t ReadUpTo(int fd, std::span<std::uint8_t> out, const std::filesystem::path& file) {
    std::size_t got = 0;
    while (got < out.size()) {
        const ssize_t n = read(fd, out.data() + got, out.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) Fail(file, "cannot be read");
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return got;
}

std::vector<std::uint8_t> ReadContents(const std::filesystem::path& file) {
    const UniqueFd fd(open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) Fail(file, "cannot be read");
    struct stat info;
    if (fstat(fd.get(), &info) != 0) Fail(file, "cannot be read");
    RefuseTooLarge(file, static_cast<std::uint64_t>(info.st_size));
    // Exactly the size the file has, so that many files held at once waste nothing; a file
    // that grew meanwhile is read on in pieces.
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(info.st_size));
    std::size_t got = ReadUpTo(fd.get(), bytes, file);
    if (got < bytes.size()) {
        bytes.resize(got);
        return bytes;
    }
    std::uint8_t more[65536];
    while (const std::size_t n = ReadUpTo(fd.get(), more, file)) {
        bytes.insert(bytes.end(), more, more + n);
        RefuseTooLarge(file, bytes.size());
    }
    return bytes;
}

std::string ReadTextFile(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw ToolError(file + ": cannot be read");
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace quorvel::tool
