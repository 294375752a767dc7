#pragma once

#include <sys/types.h>

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

// The process of ours named `name` (as /proc/<pid>/comm has it) that runs
// on our X display; 0 when there is none.
pid_t programOnThisDisplay(const std::string& name);

} // namespace platform::shortcuts
