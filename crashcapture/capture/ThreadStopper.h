#pragma once

#include <cstddef>
#include <sys/types.h>
#include <ucontext.h>

namespace crashcapture::capture {

// Stops every other thread of the process and captures its registers: each
// thread gets a real-time signal through tgkill; its handler copies the
// interrupted context into a preallocated slot, reports it, and waits until
// the threads are released. Async-signal-safe except install().
class ThreadStopper {
public:
    static constexpr std::size_t kMaxThreads = 512;

    struct Thread {
        pid_t id;
        bool captured;             // the thread answered; context is valid
        const ucontext_t* context; // its registers when it was stopped
    };

    // Picks a free real-time signal and installs its handler. Idempotent.
    static bool install();
    static int stopSignal();

    // Lists the process's threads in the kernel's order (the caller's
    // included, not stopped), stops the others and waits for their contexts
    // for at most `timeoutMilliseconds` in total. Returns the number listed.
    static std::size_t stopOthers(long timeoutMilliseconds);
    static const Thread& thread(std::size_t index);
    static std::size_t count();

    // Lets every stopped thread go on.
    static void releaseAll();
};

// The calling thread's kernel id.
pid_t currentThreadId();

} // namespace crashcapture::capture
