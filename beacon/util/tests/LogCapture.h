#pragma once

#include "beacon/logger/Logger.h"
#include "platform/headless/ManualScheduler.h"

#include <algorithm>
#include <string>
#include <vector>

// Captures the telemetry logger's lines at every level for one test: the
// handlers run on a manual queue, delivered by lines().
class LogCapture {
public:
    LogCapture() {
        queue_ = scheduler_.makeSerialQueue(beacon::Logger::kQueueLabel);
        beacon::Logger::setQueue(queue_);
        beacon::Logger::setLogHandler(beacon::Logger::defaultHandler());
        beacon::Logger::setCurrentLogLevel(beacon::LogLevel::Verbose);
        beacon::Logger::setLineWriter([this](const std::string& line) { lines_.push_back(line); });
    }
    ~LogCapture() {
        beacon::Logger::setLineWriter({});
        beacon::Logger::setQueue(nullptr);
        beacon::Logger::setCurrentLogLevel(beacon::LogLevel::Assert);
        beacon::Logger::setIsUserDefinedLogLevel(false);
    }
    const std::vector<std::string>& lines() {
        scheduler_.runUntilIdle();
        return lines_;
    }
    // Lines whose text contains `part`.
    std::size_t count(const std::string& part) {
        const auto& all = lines();
        return std::count_if(all.begin(), all.end(),
                             [&](const std::string& line) { return line.find(part) != std::string::npos; });
    }
    // Whether a line logged at `level` ends in `message`.
    bool contains(beacon::LogLevel level, const std::string& message) {
        const auto levelTag = "] " + std::string(beacon::Logger::levelName(level)) + ": ";
        for (const auto& line : lines())
            if (line.find(levelTag) != std::string::npos && line.size() > message.size() &&
                line.compare(line.size() - message.size() - 1, std::string::npos, " " + message) == 0)
                return true;
        return false;
    }
    // The messages without the tag, level, function and line before them.
    std::vector<std::string> messages() {
        std::vector<std::string> out;
        for (const auto& line : lines()) out.push_back(line.substr(line.find(' ', line.find(": ") + 2) + 1));
        return out;
    }
    // Every line, each followed by a newline.
    std::string text() {
        std::string all;
        for (const auto& line : lines()) all += line + "\n";
        return all;
    }
    void clear() {
        scheduler_.runUntilIdle();
        lines_.clear();
    }

private:
    platform::ManualScheduler scheduler_;
    std::shared_ptr<platform::Queue> queue_;
    std::vector<std::string> lines_;
};
