#pragma once

#include <csetjmp>
#include <csignal>
#include <cstddef>

namespace crashcapture::capture {

// Makes reads of memory that may be unmapped safe for the writer: while the
// guard is armed, a SIGSEGV or SIGBUS raised on the writer's thread jumps
// back to the innermost guarded() call, which then returns false. Faults of
// other threads go on to the action that was installed before. Only one
// guard is armed at a time (the writer holds its own lock). Async-signal-safe.
class FaultGuard {
public:
    FaultGuard();
    ~FaultGuard();
    FaultGuard(const FaultGuard&) = delete;
    FaultGuard& operator=(const FaultGuard&) = delete;

    // Runs work(); false when it faulted (its effects up to the fault stay).
    template <class Work> bool guarded(Work&& work) {
        if (sigsetjmp(*jumpBuffer(), 1) != 0) {
            leave();
            return false;
        }
        enter();
        work();
        leave();
        return true;
    }

    // Copies `length` bytes; false (nothing certain copied) when unreadable.
    bool read(void* destination, const void* source, std::size_t length);

private:
    static sigjmp_buf* jumpBuffer();
    static void enter();
    static void leave();

    struct sigaction previousSegv_ {};
    struct sigaction previousBus_ {};
    sigset_t previousMask_{};
};

} // namespace crashcapture::capture
