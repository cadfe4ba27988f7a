#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace vemra {

// What a program run by runProgram did.
struct ProgramRun {
    bool started = false; // false: no such program on PATH, or it could not start
    bool timedOut = false;
    int exitCode = -1;  // the exit status; -1 when it did not exit by itself
    std::string output; // its standard output, at most kMaxProgramOutput bytes

    bool succeeded() const { return started && !timedOut && exitCode == 0; }
};

inline constexpr std::size_t kMaxProgramOutput = 1 << 20;

// Runs `argv` (argv[0] looked up on PATH) and waits for it, at most
// `timeout`; a program still running then is killed. Its input is empty,
// its errors go nowhere, and its output is collected.
ProgramRun runProgram(const std::vector<std::string>& argv,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10));

// True when `name` is an executable file in a folder of PATH.
bool programOnPath(const std::string& name);

} // namespace vemra
