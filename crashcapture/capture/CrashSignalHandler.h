#pragma once

#include "crashcapture/capture/AsyncSafeList.h"
#include "crashcapture/report/CrashReporterError.h"

#include <csignal>
#include <cstddef>
#include <ucontext.h>

namespace crashcapture::capture {

// A callback of the engine for one signal: true when it handled the signal.
using CrashSignalCallback = bool (*)(int signal, siginfo_t* info, ucontext_t* context, void* callbackContext);

// The process's fatal-signal handler. The installed sigaction handler walks
// a list of dispatchers; the first-level dispatcher calls the callbacks
// registered for the signal and, when none handled it, applies the action
// that was installed before ours: a siginfo handler is called (handled),
// "ignore" counts as handled, a plain handler is called (handled), the
// default action is not handled. When nothing handled the signal, our
// handler raises it again. Both lists are walked without locks.
class CrashSignalHandler {
public:
    // The fatal signals, in the order handlers are installed and reset.
    static constexpr int kFatalSignals[] = {SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGSEGV, SIGTRAP};
    static constexpr std::size_t kAlternateStackSize = 256 * 1024;

    static CrashSignalHandler& sharedHandler();

    // Adds a callback for one signal, installing our handler (on the
    // alternate stack) when the signal has none of ours yet.
    bool registerHandlerForSignal(int signal, CrashSignalCallback callback, void* context, CrashReporterError* error);

    // Puts back the actions that were installed before ours and drops every
    // callback (for tests and orderly teardown).
    void resetHandlers();

    // Gives the calling thread an alternate signal stack of kAlternateStackSize
    // (once per thread), so that a stack overflow on it is caught too.
    static bool installAlternateStackForCurrentThread();

    // Sets the fatal signals back to their default actions (async-signal-safe).
    static void resetFatalSignalsToDefault();

    // Applies the action saved for the signal before ours; true when handled.
    bool applyPreviousAction(int signal, siginfo_t* info, ucontext_t* context) const;

private:
    struct Registration {
        int signal;
        CrashSignalCallback callback;
        void* context;
    };
    // A dispatcher in the first list; `next` continues with the rest.
    struct Dispatcher {
        bool (*dispatch)(int signal, siginfo_t* info, ucontext_t* context, const void* next);
    };

    CrashSignalHandler() = default;
    static void onSignal(int signal, siginfo_t* info, void* context);
    static bool callDispatchers(int signal, siginfo_t* info, ucontext_t* context, const void* node);
    static bool firstLevelDispatch(int signal, siginfo_t* info, ucontext_t* context, const void* next);

    AsyncSafeList<Dispatcher> dispatchers_;
    AsyncSafeList<Registration> callbacks_;
    struct sigaction previous_[NSIG] {};
    bool installed_[NSIG] = {};
    bool dispatcherAdded_ = false;
    std::mutex mutex_;
};

} // namespace crashcapture::capture
