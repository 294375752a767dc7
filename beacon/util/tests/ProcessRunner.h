#pragma once

#include <cstdio>
#include <string>

// Runs a shell command line and returns its standard output and exit code.
struct CommandResult {
    std::string output;
    int status = -1;
};

inline CommandResult runCommand(const std::string& command) {
    CommandResult result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
    result.status = ::pclose(pipe);
    return result;
}
