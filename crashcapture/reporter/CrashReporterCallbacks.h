#pragma once

#include <csignal>
#include <cstdint>
#include <ucontext.h>

namespace crashcapture {

// Called on the crashing thread after the report of a crash was written, with
// the signal's information, the crashed thread's machine context (null when
// there is none) and the context given with the callbacks. It runs inside a
// signal handler: only async-signal-safe work, no locks, no allocation.
using CrashReporterPostCrashSignalCallback = void (*)(siginfo_t* info, ucontext_t* uap, void* context);

// What CrashReporter::setCrashCallbacks stores. Only version 0 exists.
struct CrashReporterCallbacks {
    std::uint16_t version = 0;
    void* context = nullptr;
    CrashReporterPostCrashSignalCallback handleSignal = nullptr;
};

} // namespace crashcapture
