#include "beacon/logger/Logger.h"

#include "platform/Scheduler.h"
#include "platform/dispatch/ThreadScheduler.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace beacon {

namespace {

// The logger's process-wide state. It is never destroyed: other objects may
// still log while static objects are torn down at exit.
struct LoggerState {
    std::mutex mutex;
    std::atomic<unsigned> level{static_cast<unsigned>(LogLevel::Assert)};
    std::atomic<bool> userDefined{false};
    std::shared_ptr<const LogHandler> handler;
    // Mirrors of `handler` for the lock-free level check.
    std::atomic<bool> hasHandler{true};
    std::atomic<bool> defaultHandlerInstalled{true};
    std::shared_ptr<platform::Queue> queue;
    std::shared_ptr<const Logger::LineWriter> writer;
};

LoggerState& state() {
    static LoggerState* s = [] {
        auto* created = new LoggerState;
        created->handler = std::make_shared<const LogHandler>(Logger::defaultHandler());
        return created;
    }();
    return *s;
}

// The built-in logger queue: one serial thread of a private scheduler, made
// on first use and kept for the life of the process. Lines still queued at
// exit are written out by an exit hook.
std::shared_ptr<platform::Queue> builtInQueue() {
    static const auto* queue = [] {
        auto* scheduler = new platform::ThreadScheduler({}, 1);
        auto* serial = new std::shared_ptr<platform::Queue>(scheduler->makeSerialQueue(Logger::kQueueLabel));
        std::atexit([] { Logger::flush(); });
        return serial;
    }();
    return *queue;
}

void writeLine(const std::string& line) {
    std::shared_ptr<const Logger::LineWriter> writer;
    {
        std::lock_guard lock(state().mutex);
        writer = state().writer;
    }
    if (writer) {
        (*writer)(line);
    } else {
        std::fprintf(stderr, "%s\n", line.c_str());
    }
}

bool defaultHandlerPrints(LogLevel level) {
    const auto value = static_cast<unsigned>(level);
    return value != static_cast<unsigned>(LogLevel::None) && value >= state().level.load();
}

// The built-in handler, as a named type so that installing it again is
// recognised (and keeps the level check before any formatting).
struct DefaultHandler {
    void operator()(const MessageProvider& message, LogLevel level, const std::string& tag, const char*,
                    const char* function, int line) const {
        if (!message || !defaultHandlerPrints(level)) return;
        writeLine(Logger::formatLine(tag, level, function ? function : "", line, message()));
    }
};

} // namespace

LogLevel Logger::currentLogLevel() { return static_cast<LogLevel>(state().level.load()); }

void Logger::setCurrentLogLevel(LogLevel level) {
    std::lock_guard lock(state().mutex);
    state().level = static_cast<unsigned>(level);
    state().userDefined = true;
}

LogHandler Logger::logHandler() {
    std::lock_guard lock(state().mutex);
    return state().handler ? *state().handler : LogHandler{};
}

void Logger::setLogHandler(LogHandler handler) {
    std::lock_guard lock(state().mutex);
    state().handler = handler ? std::make_shared<const LogHandler>(std::move(handler)) : nullptr;
    state().hasHandler = state().handler != nullptr;
    state().defaultHandlerInstalled = state().handler && state().handler->target<DefaultHandler>() != nullptr;
    state().userDefined = true;
}

bool Logger::isEnabled(LogLevel level) {
    const LoggerState& s = state();
    if (!s.hasHandler.load(std::memory_order_relaxed)) return false;
    return !s.defaultHandlerInstalled.load(std::memory_order_relaxed) || defaultHandlerPrints(level);
}

bool Logger::isUserDefinedLogLevel() { return state().userDefined.load(); }

void Logger::setIsUserDefinedLogLevel(bool userDefined) { state().userDefined = userDefined; }

void Logger::logMessage(MessageProvider message, LogLevel level, std::string tag, const char* file,
                        const char* function, int line) {
    std::shared_ptr<const LogHandler> handler;
    std::shared_ptr<platform::Queue> target;
    {
        std::lock_guard lock(state().mutex);
        handler = state().handler;
        if (!handler) return;
        // The built-in handler would drop the line anyway: spare the hop.
        if (state().defaultHandlerInstalled && !defaultHandlerPrints(level)) return;
        target = state().queue;
    }
    if (!target) target = builtInQueue();
    target->async([handler, message = std::move(message), level, tag = std::move(tag), file, function, line] {
        (*handler)(message, level, tag, file, function, line);
    });
}

LogHandler Logger::defaultHandler() { return DefaultHandler{}; }

std::string_view Logger::levelName(LogLevel level) {
    switch (level) {
    case LogLevel::Verbose: return "VERBOSE";
    case LogLevel::Debug: return "DEBUG";
    case LogLevel::Info: return "INFO";
    case LogLevel::Warning: return "WARNING";
    case LogLevel::Error: return "ERROR";
    case LogLevel::Assert: return "ASSERT";
    default: return "";
    }
}

std::string Logger::formatLine(const std::string& tag, LogLevel level, std::string_view function, int line,
                               const std::string& message) {
    std::string out;
    out.reserve(tag.size() + function.size() + message.size() + 24);
    out += '[';
    out += tag;
    out += "] ";
    out += levelName(level);
    out += ": ";
    out += function;
    out += '/';
    out += std::to_string(line);
    out += ' ';
    out += message;
    return out;
}

void Logger::setLineWriter(LineWriter writer) {
    std::lock_guard lock(state().mutex);
    state().writer = writer ? std::make_shared<const LineWriter>(std::move(writer)) : nullptr;
}

void Logger::setQueue(std::shared_ptr<platform::Queue> queue) {
    std::lock_guard lock(state().mutex);
    state().queue = std::move(queue);
}

std::shared_ptr<platform::Queue> Logger::queue() {
    {
        std::lock_guard lock(state().mutex);
        if (state().queue) return state().queue;
    }
    return builtInQueue();
}

void Logger::flush() {
    queue()->sync([] {});
}

void WrapperLogger::wrapperLog(MessageProvider message, const std::string& tag, LogLevel level) {
    Logger::logMessage(std::move(message), level, tag, __FILE__, __func__, __LINE__);
}

} // namespace beacon
