#include "support/run_program.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace quorvel::test {
namespace {

std::vector<std::string> MergedEnvironment(const std::map<std::string, std::string>& extra) {
    std::vector<std::string> merged;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        std::string text = *entry;
        if (!extra.contains(text.substr(0, text.find('=')))) merged.push_back(text);
    }
    for (const auto& [name, value] : extra) merged.push_back(name + "=" + value);
    return merged;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

RunResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options) {
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    if (!options.workingFolder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, options.workingFolder.c_str());
    std::vector<std::string> arguments = argv;
    std::vector<std::string> environment = MergedEnvironment(options.environment);
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, arguments[0].c_str(), &actions, nullptr,
                                     Pointers(arguments).data(), Pointers(environment).data());
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (spawned != 0) {
        close(in[1]);
        close(out[0]);
        close(err[0]);
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(spawned));
    }

    RunResult result;
    signal(SIGPIPE, SIG_IGN);
    std::size_t written = 0;
    if (options.input.empty()) close(in[1]), in[1] = -1;
    fcntl(out[0], F_SETFL, O_NONBLOCK);
    fcntl(err[0], F_SETFL, O_NONBLOCK);
    auto drainInto = [](int fd, std::string& text) {
        char buffer[4096];
        ssize_t got;
        while ((got = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(got));
        return got == 0;  // end of output
    };
    auto drain = [&] {
        drainInto(err[0], result.errors);
        return drainInto(out[0], result.output);
    };
    // Programs that the child starts may keep the output pipe open after the child has
    // ended, so the child's own end, not the pipe's, finishes the run.
    const auto deadline = std::chrono::steady_clock::now() + options.timeout;
    int status = 0;
    bool outputOpen = true;
    bool errorsOpen = true;
    bool interrupted = false;
    bool inputDue = !options.inputWhen;
    for (;;) {
        const pid_t ended = waitpid(child, &status, WNOHANG);
        if (ended == child) break;
        if (!interrupted && options.interruptWhen && options.interruptWhen()) {
            kill(child, options.interruptSignal);
            interrupted = true;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            result.timedOut = true;
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            break;
        }
        if (!inputDue) inputDue = options.inputWhen(result.output);
        pollfd fds[3] = {{outputOpen ? out[0] : -1, POLLIN, 0},
                         {inputDue ? in[1] : -1, POLLOUT, 0},
                         {errorsOpen ? err[0] : -1, POLLIN, 0}};
        poll(fds, 3, 5);
        if (fds[0].revents != 0) outputOpen = !drainInto(out[0], result.output);
        if (fds[2].revents != 0) errorsOpen = !drainInto(err[0], result.errors);
        if (inputDue && in[1] >= 0 && fds[1].revents != 0) {
            const ssize_t put =
                write(in[1], options.input.data() + written, options.input.size() - written);
            if (put > 0) written += static_cast<std::size_t>(put);
            if (put <= 0 || written == options.input.size()) close(in[1]), in[1] = -1;
        }
    }
    drain();
    if (in[1] >= 0) close(in[1]);
    close(out[0]);
    close(err[0]);
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
}

}  // namespace quorvel::test
