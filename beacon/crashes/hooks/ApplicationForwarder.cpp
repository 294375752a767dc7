#include "beacon/crashes/hooks/ApplicationForwarder.h"

#include "beacon/crashes/hooks/CrashesCXXExceptionWrapperException.h"
#include "beacon/crashes/hooks/UncaughtCXXExceptionHandlerManager.h"
#include "beacon/crashes/service/Crashes.h"
#include "beacon/logger/Logger.h"
#include "beacon/util/BeaconUserDefaults.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cxxabi.h>
#include <exception>
#include <mutex>
#include <string>

namespace beacon {

namespace {

struct ForwarderState {
    std::mutex mutex;
    std::optional<bool> infoForwarderEnabled;
    ApplicationForwarder::ReportException applicationReport;
    std::atomic<bool> reportExceptionForwarded{false};
    std::atomic<bool> sendEventForwarded{false};
};

ForwarderState& state() {
    static ForwarderState instance;
    return instance;
}

bool crashOnExceptions() {
    return BeaconUserDefaults::standardStore()->boolForKey(ApplicationForwarder::kCrashOnExceptionsKey);
}

void defaultApplicationReport(const platform::UncaughtException& exception) {
    std::fprintf(stderr, "Uncaught exception %s: %s\n", exception.name.c_str(), exception.reason.c_str());
    if (crashOnExceptions()) std::abort();
}

} // namespace

void ApplicationForwarder::setInfoForwarderEnabled(std::optional<bool> enabled) {
    std::lock_guard lock(state().mutex);
    state().infoForwarderEnabled = enabled;
}

void ApplicationForwarder::registerForwarding() {
    std::optional<bool> infoValue;
    {
        std::lock_guard lock(state().mutex);
        infoValue = state().infoForwarderEnabled;
    }
    if (infoValue == false) {
        BEACON_CRASHES_LOG_DEBUG("Application forwarder for info.plist key '", kForwarderEnabledKey,
                                 "' disabled. It won't use swizzling.");
        return;
    }
    BEACON_CRASHES_LOG_DEBUG("Application forwarder for info.plist key '", kForwarderEnabledKey,
                             "' enabled. It may use swizzling.");
    if (!crashOnExceptions()) {
        BEACON_CRASHES_LOG_INFO("Catching uncaught exceptions thrown on the main thread disabled. Set `",
                                kCrashOnExceptionsKey,
                                "` flag before SDK initialization, to allow crash on uncaught exceptions and the SDK "
                                "can report them.");
        return;
    }
    if (!state().reportExceptionForwarded.exchange(true))
        BEACON_CRASHES_LOG_DEBUG("Selector 'reportException:' of class 'NSApplication' is swizzled.");
    if (!state().sendEventForwarded.exchange(true))
        BEACON_CRASHES_LOG_DEBUG("Selector 'sendEvent:' of class 'NSApplication' is swizzled.");
}

bool ApplicationForwarder::isReportExceptionForwarded() { return state().reportExceptionForwarded; }
bool ApplicationForwarder::isSendEventForwarded() { return state().sendEventForwarded; }

void ApplicationForwarder::sendEvent(const std::function<void()>& dispatch) {
    if (!state().sendEventForwarded) {
        dispatch();
        return;
    }
    try {
        dispatch();
    } catch (...) {
        reportException(currentException());
    }
}

void ApplicationForwarder::reportException(const platform::UncaughtException& exception) {
    if (state().reportExceptionForwarded) Crashes::applicationDidReportException(exception);
    ReportException report;
    {
        std::lock_guard lock(state().mutex);
        report = state().applicationReport;
    }
    if (report) report(exception);
    else defaultApplicationReport(exception);
}

void ApplicationForwarder::setApplicationReportException(ReportException report) {
    std::lock_guard lock(state().mutex);
    state().applicationReport = std::move(report);
}

platform::UncaughtException ApplicationForwarder::currentException() {
    platform::UncaughtException exception;
    const std::type_info* type = abi::__cxa_current_exception_type();
    if (type) {
        const char* name = type->name();
        if (*name == '*') ++name;
        exception.name = CrashesCXXExceptionWrapperException::demangle(name);
    }
    try {
        throw;
    } catch (const std::exception& error) {
        exception.reason = error.what();
    } catch (const std::string& text) {
        exception.reason = text;
    } catch (const char* text) {
        if (text) exception.reason = text;
    } catch (...) {}
    for (const auto address : CrashesUncaughtCXXExceptionHandlerManager::currentThreadThrowFrames())
        exception.callStackReturnAddresses.push_back(address);
    return exception;
}

void ApplicationForwarder::resetForTesting() {
    std::lock_guard lock(state().mutex);
    state().infoForwarderEnabled.reset();
    state().applicationReport = nullptr;
    state().reportExceptionForwarded = false;
    state().sendEventForwarded = false;
}

} // namespace beacon
