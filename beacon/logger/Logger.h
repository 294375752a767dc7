#pragma once

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

namespace platform {
class Queue;
}

namespace beacon {

// Levels of the diagnostic logger. A message prints when its level is at
// least the current level; None is never printed.
enum class LogLevel : unsigned {
    Verbose = 2,
    Debug = 3,
    Info = 4,
    Warning = 5,
    Error = 6,
    Assert = 7,
    None = 99,
};

// One tag per subsystem of the telemetry library.
inline constexpr const char* kBeaconLogTag = "Beacon";
inline constexpr const char* kAnalyticsLogTag = "BeaconAnalytics";
inline constexpr const char* kCrashesLogTag = "BeaconCrashes";

// Produces the message text; called only when the line is really printed.
using MessageProvider = std::function<std::string()>;
using LogHandler = std::function<void(const MessageProvider& message, LogLevel level, const std::string& tag,
                                      const char* file, const char* function, int line)>;

// The diagnostic logger of the telemetry code. Process-wide state only.
// Handlers run on one serial queue ("com.zelvo.beacon.loggerQueue"), one
// message at a time, in call order, so logging never blocks the caller.
class Logger {
public:
    static constexpr const char* kQueueLabel = "com.zelvo.beacon.loggerQueue";

    static LogLevel currentLogLevel();
    // Sets the level and marks it as chosen by the user.
    static void setCurrentLogLevel(LogLevel level);
    static LogHandler logHandler();
    // An empty handler turns logging off; marks the level as user defined.
    static void setLogHandler(LogHandler handler);
    static bool isUserDefinedLogLevel();
    static void setIsUserDefinedLogLevel(bool userDefined);

    // Queues a call of the handler with these arguments on the logger queue;
    // does nothing when no handler is set. `file` and `function` must be
    // string literals (or otherwise outlive the call), as __FILE__ and
    // __func__ are.
    static void logMessage(MessageProvider message, LogLevel level, std::string tag, const char* file,
                           const char* function, int line);
    // Whether a message of this level would reach a handler that may print
    // it: false without a handler, and for levels the built-in handler drops.
    // Lock-free, so that a disabled level costs one check and no formatting.
    static bool isEnabled(LogLevel level);

    // The handler installed at start: prints one line, "[tag] LEVEL:
    // function/line message", through the line writer when the level passes.
    static LogHandler defaultHandler();
    // Printed name of a level ("VERBOSE" ... "ASSERT"); empty for None and
    // values outside the table.
    static std::string_view levelName(LogLevel level);
    static std::string formatLine(const std::string& tag, LogLevel level, std::string_view function, int line,
                                  const std::string& message);

    // Where the default handler writes its lines: stderr unless replaced.
    // An empty writer restores stderr.
    using LineWriter = std::function<void(const std::string& line)>;
    static void setLineWriter(LineWriter writer);

    // The queue handlers run on. By default the logger makes its own serial
    // thread on first use; the embedder (or a test) may supply another
    // serial queue. Null restores the built-in one.
    static void setQueue(std::shared_ptr<platform::Queue> queue);
    static std::shared_ptr<platform::Queue> queue();
    // Returns once every message logged before the call has been handled.
    static void flush();
};

// A wrapper SDK's way into the same logger.
class WrapperLogger {
public:
    static void wrapperLog(MessageProvider message, const std::string& tag, LogLevel level);
};

namespace detail {

// Copies the parts now and joins them only when the message is printed, so
// the text may be built later on the logger queue.
template <typename... Parts> MessageProvider deferredMessage(Parts&&... parts) {
    return [tuple = std::make_tuple(std::decay_t<Parts>(std::forward<Parts>(parts))...)]() {
        std::ostringstream out;
        std::apply([&out](const auto&... part) { (out << ... << part); }, tuple);
        return out.str();
    };
}

} // namespace detail

} // namespace beacon

// BEACON_LOG(level, tag, parts...) logs the concatenation of the parts (any
// values that can be streamed; they are copied, then joined on the logger
// queue only when the line prints) with the caller's file, function and line.
// For a level that cannot print, the parts are not even evaluated.
#define BEACON_LOG(level, tag, ...)                                                                                    \
    do {                                                                                                               \
        const ::beacon::LogLevel beaconLogLevel_ = (level);                                                            \
        if (::beacon::Logger::isEnabled(beaconLogLevel_))                                                              \
            ::beacon::Logger::logMessage(::beacon::detail::deferredMessage(__VA_ARGS__), beaconLogLevel_, (tag),       \
                                         __FILE__, __func__, __LINE__);                                                \
    } while (false)

#define BEACON_LOG_VERBOSE(...) BEACON_LOG(::beacon::LogLevel::Verbose, ::beacon::kBeaconLogTag, __VA_ARGS__)
#define BEACON_LOG_DEBUG(...) BEACON_LOG(::beacon::LogLevel::Debug, ::beacon::kBeaconLogTag, __VA_ARGS__)
#define BEACON_LOG_INFO(...) BEACON_LOG(::beacon::LogLevel::Info, ::beacon::kBeaconLogTag, __VA_ARGS__)
#define BEACON_LOG_WARNING(...) BEACON_LOG(::beacon::LogLevel::Warning, ::beacon::kBeaconLogTag, __VA_ARGS__)
#define BEACON_LOG_ERROR(...) BEACON_LOG(::beacon::LogLevel::Error, ::beacon::kBeaconLogTag, __VA_ARGS__)
#define BEACON_LOG_ASSERT(...) BEACON_LOG(::beacon::LogLevel::Assert, ::beacon::kBeaconLogTag, __VA_ARGS__)

#define BEACON_ANALYTICS_LOG_VERBOSE(...)                                                                              \
    BEACON_LOG(::beacon::LogLevel::Verbose, ::beacon::kAnalyticsLogTag, __VA_ARGS__)
#define BEACON_ANALYTICS_LOG_DEBUG(...) BEACON_LOG(::beacon::LogLevel::Debug, ::beacon::kAnalyticsLogTag, __VA_ARGS__)
#define BEACON_ANALYTICS_LOG_INFO(...) BEACON_LOG(::beacon::LogLevel::Info, ::beacon::kAnalyticsLogTag, __VA_ARGS__)
#define BEACON_ANALYTICS_LOG_WARNING(...)                                                                              \
    BEACON_LOG(::beacon::LogLevel::Warning, ::beacon::kAnalyticsLogTag, __VA_ARGS__)
#define BEACON_ANALYTICS_LOG_ERROR(...) BEACON_LOG(::beacon::LogLevel::Error, ::beacon::kAnalyticsLogTag, __VA_ARGS__)
#define BEACON_ANALYTICS_LOG_ASSERT(...) BEACON_LOG(::beacon::LogLevel::Assert, ::beacon::kAnalyticsLogTag, __VA_ARGS__)

#define BEACON_CRASHES_LOG_VERBOSE(...) BEACON_LOG(::beacon::LogLevel::Verbose, ::beacon::kCrashesLogTag, __VA_ARGS__)
#define BEACON_CRASHES_LOG_DEBUG(...) BEACON_LOG(::beacon::LogLevel::Debug, ::beacon::kCrashesLogTag, __VA_ARGS__)
#define BEACON_CRASHES_LOG_INFO(...) BEACON_LOG(::beacon::LogLevel::Info, ::beacon::kCrashesLogTag, __VA_ARGS__)
#define BEACON_CRASHES_LOG_WARNING(...) BEACON_LOG(::beacon::LogLevel::Warning, ::beacon::kCrashesLogTag, __VA_ARGS__)
#define BEACON_CRASHES_LOG_ERROR(...) BEACON_LOG(::beacon::LogLevel::Error, ::beacon::kCrashesLogTag, __VA_ARGS__)
#define BEACON_CRASHES_LOG_ASSERT(...) BEACON_LOG(::beacon::LogLevel::Assert, ::beacon::kCrashesLogTag, __VA_ARGS__)
