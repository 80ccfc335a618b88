// Runs a program with given standard input, collecting its standard output and exit code.
#pragma once

#include <chrono>
#include <csignal>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace quorvel::test {

struct RunResult {
    int exitCode = -1;     // -1 when the program was ended by a signal or timed out
    int signal = 0;        // the ending signal, if any
    bool timedOut = false;
    std::string output;    // standard output, byte for byte
    std::string errors;    // standard error
};

struct RunOptions {
    std::string input;                          // standard input; a pipe that ends after it
    // When set, the input is held back until this returns true for the output so far.
    std::function<bool(const std::string& output)> inputWhen;
    std::string workingFolder;                  // empty: the current one
    std::map<std::string, std::string> environment;  // added to or replacing the inherited one
    std::chrono::milliseconds timeout{60000};
    // Polled while the program runs; once it returns true the program gets interruptSignal.
    std::function<bool()> interruptWhen;
    int interruptSignal = SIGINT;
};

RunResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options);

}  // namespace quorvel::test
