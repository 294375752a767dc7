#pragma once

#include <functional>
#include <string>
#include <vector>

namespace platform::shortcuts {

// How a program run to its end went.
struct ProgramResult {
    bool started = false;
    int exitCode = -1;  // -1 when it did not exit by itself
    std::string output; // what it wrote to its standard output
    bool succeeded() const { return started && exitCode == 0; }
};

// Runs a program (looked up in PATH, never through a shell) and waits for
// it, at most a few seconds: a settings tool that hangs must not freeze the
// settings window. Tests hand a scripted runner to the recipes instead.
using ProgramRunner = std::function<ProgramResult(const std::vector<std::string>& arguments)>;
ProgramResult runProgram(const std::vector<std::string>& arguments);

} // namespace platform::shortcuts
