#pragma once

// Helpers shared by the model and context tests.

#include "beacon/logger/Logger.h"
#include "beacon/testing/SampleDevices.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

namespace beacon::test {

// Records every message handed to the logger while it lives.
class LogCapture {
public:
    struct Line {
        LogLevel level;
        std::string text;
    };
    LogCapture() {
        Logger::setLogHandler(
            [this](const MessageProvider& message, LogLevel level, const std::string&, const char*, const char*, int) {
                std::lock_guard lock(mutex_);
                lines_.push_back({level, message ? message() : std::string()});
            });
    }
    ~LogCapture() {
        Logger::flush();
        Logger::setLogHandler(Logger::defaultHandler());
    }
    std::vector<Line> lines() {
        Logger::flush();
        std::lock_guard lock(mutex_);
        return lines_;
    }
    bool contains(LogLevel level, const std::string& text) {
        for (const auto& line : lines())
            if (line.level == level && line.text == text) return true;
        return false;
    }

private:
    std::mutex mutex_;
    std::vector<Line> lines_;
};

// Runs Python's json module over the text and returns what the script
// prints. The script sees the parsed value as `doc` (objects as lists of
// (key, value) pairs, so key order can be checked) and the raw text as `raw`.
inline std::string python(const std::string& jsonText, const std::string& script) {
    char path[] = "/tmp/zelvo-json-XXXXXX";
    int fd = ::mkstemp(path);
    EXPECT_GE(fd, 0);
    ::close(fd);
    std::ofstream(path, std::ios::binary) << jsonText;
    std::string program = "import json,sys\n"
                          "raw=open(sys.argv[1],encoding='utf-8').read()\n"
                          "doc=json.loads(raw, object_pairs_hook=lambda p: p)\n"
                          "def keys(o): return ','.join(k for k,_ in o)\n"
                          "def get(o,k): return dict(o)[k]\n" +
                          script + "\n";
    char scriptPath[] = "/tmp/zelvo-py-XXXXXX";
    fd = ::mkstemp(scriptPath);
    ::close(fd);
    std::ofstream(scriptPath) << program;
    std::string command = std::string("python3 ") + scriptPath + " " + path + " 2>&1";
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
        ::pclose(pipe);
    }
    std::filesystem::remove(path);
    std::filesystem::remove(scriptPath);
    while (!output.empty() && output.back() == '\n') output.pop_back();
    return output;
}

} // namespace beacon::test
