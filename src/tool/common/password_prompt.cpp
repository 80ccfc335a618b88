#include "tool/common/password_prompt.hpp"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <fstream>

#include "tool/common/tool_error.hpp"

namespace quorvel::tool {
namespace {

// The terminal, opened for the prompt, with echo off while it is open.
class SilentTerminal {
public:
    SilentTerminal() : fd_(open("/dev/tty", O_RDWR | O_CLOEXEC)) {
        if (fd_ < 0 || tcgetattr(fd_, &saved_) != 0) {
            if (fd_ >= 0) close(fd_);
            throw ToolError("no terminal to ask the password on; use --password-file");
        }
        termios silent = saved_;
        silent.c_lflag &= static_cast<tcflag_t>(~ECHO);
        tcsetattr(fd_, TCSAFLUSH, &silent);
    }
    ~SilentTerminal() {
        tcsetattr(fd_, TCSAFLUSH, &saved_);
        close(fd_);
    }
    SilentTerminal(const SilentTerminal&) = delete;
    SilentTerminal& operator=(const SilentTerminal&) = delete;

    std::string Ask(const std::string& prompt) {
        Write(prompt);
        std::string line;
        char c;
        while (read(fd_, &c, 1) == 1 && c != '\n') line += c;
        Write("\n");
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
    }

private:
    void Write(const std::string& text) {
        if (write(fd_, text.data(), text.size()) < 0) throw ToolError("cannot write to the terminal");
    }

    int fd_;
    termios saved_{};
};

}  // namespace

std::string AskNewPassword() {
    SilentTerminal terminal;
    std::string first = terminal.Ask("Password: ");
    if (terminal.Ask("Password again: ") != first) throw ToolError("the two passwords differ");
    return first;
}

bool CanAskPassword() { return isatty(STDIN_FILENO) == 1; }

std::string AskPassword() {
    SilentTerminal terminal;
    return terminal.Ask("Password: ");
}

std::string ReadPasswordFile(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw ToolError(file + ": cannot be read");
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace quorvel::tool
