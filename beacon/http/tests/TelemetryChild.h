#pragma once

#include "beacon/http/tests/IngestionServer.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace beacon::test {

// A program that uses the telemetry, run as a child process with its own
// data, config and cache folders under `home`, sending to a local ingestion
// server. It reports its progress by writing a marker file.
class TelemetryChild {
public:
    TelemetryChild(const std::filesystem::path& home, const std::string& origin, std::vector<std::string> arguments,
                   std::filesystem::path marker)
        : marker_(std::move(marker)) {
        arguments.push_back(marker_.string());
        pid_ = ::fork();
        if (pid_ == 0) {
            ::setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
            ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
            ::setenv("XDG_CACHE_HOME", (home / "cache").c_str(), 1);
            ::setenv("ZELVO_LOG_URL", origin.c_str(), 1);
            ::setenv("ZELVO_EXTRA_CA_FILE", IngestionServer::caFile().c_str(), 1);
            ::unsetenv("BEACON_DISABLE");
            ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
            std::vector<char*> argv;
            for (auto& argument : arguments) argv.push_back(argument.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
    }

    // The marker's first word once the child wrote one (empty after 60 s).
    std::string waitForMarker() const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            std::ifstream in(marker_);
            std::string word;
            if (in >> word) return word;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return {};
    }

    void kill() const { ::kill(pid_, SIGKILL); }
    void terminate() const { ::kill(pid_, SIGTERM); }

    // The raw wait status, or -1 when the child did not end within the bound
    // (it is killed then).
    int wait(std::chrono::seconds bound = std::chrono::seconds(90)) const {
        const auto deadline = std::chrono::steady_clock::now() + bound;
        int status = 0;
        while (std::chrono::steady_clock::now() < deadline) {
            if (::waitpid(pid_, &status, WNOHANG) == pid_) return status;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        return -1;
    }

    static bool exitedWith(int status, int code) {
        return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == code;
    }

private:
    std::filesystem::path marker_;
    pid_t pid_ = -1;
};

} // namespace beacon::test
