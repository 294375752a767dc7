#pragma once

#include "platform/UncaughtExceptionHandler.h"

#include <functional>
#include <optional>

namespace beacon {

// Routes exceptions that the application object reports, or that escape its
// event dispatch on the main thread, to crash reporting. On Linux the
// application object is the Qt application: its notify() runs each event
// through sendEvent() below.
//
// registerForwarding installs the two forwarded operations once per process
// when "NSApplicationCrashOnExceptions" is true in the standard preferences
// (the program registers it as true) and the application's information does
// not set "BeaconApplicationForwarderEnabled" to false.
class ApplicationForwarder {
public:
    static constexpr const char* kForwarderEnabledKey = "BeaconApplicationForwarderEnabled";
    static constexpr const char* kCrashOnExceptionsKey = "NSApplicationCrashOnExceptions";

    using ReportException = std::function<void(const platform::UncaughtException& exception)>;

    // The application's information value of kForwarderEnabledKey; absent
    // (enabled) unless an embedder sets it.
    static void setInfoForwarderEnabled(std::optional<bool> enabled);
    static void registerForwarding();
    static bool isReportExceptionForwarded();
    static bool isSendEventForwarded();

    // Dispatches one event. When forwarded, an exception escaping `dispatch`
    // is caught and handed to reportException, and not thrown again; else it
    // propagates.
    static void sendEvent(const std::function<void()>& dispatch);
    // The application's report of an exception: when forwarded, crash
    // reporting sees it first; then the application's own report runs.
    static void reportException(const platform::UncaughtException& exception);
    // The application's own report (the operation the forwarding replaced).
    // By default: one line on stderr, then, with "NSApplicationCrashOnExceptions"
    // true, the process aborts.
    static void setApplicationReportException(ReportException report);

    // The exception being handled (call inside a catch block): its type
    // name, message and the stack of its throw site when it was recorded.
    static platform::UncaughtException currentException();

    // Forgets the installed forwarding (tests).
    static void resetForTesting();
};

} // namespace beacon
