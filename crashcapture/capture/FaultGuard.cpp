#include "crashcapture/capture/FaultGuard.h"

#include <atomic>
#include <cstring>
#include <sys/syscall.h>
#include <unistd.h>

namespace crashcapture::capture {

namespace {

sigjmp_buf guardJump;
std::atomic<pid_t> guardedThread{0};
std::atomic<bool> jumpArmed{false};
struct sigaction savedSegv {};
struct sigaction savedBus {};

pid_t currentThread() { return static_cast<pid_t>(::syscall(SYS_gettid)); }

void passOn(int signal, siginfo_t* info, void* context) {
    const struct sigaction& previous = signal == SIGBUS ? savedBus : savedSegv;
    if ((previous.sa_flags & SA_SIGINFO) && previous.sa_sigaction) {
        previous.sa_sigaction(signal, info, context);
    } else if (previous.sa_handler == SIG_IGN) {
        return;
    } else if (previous.sa_handler == SIG_DFL) {
        // Back to the default action; the fault repeats and ends the process.
        struct sigaction fallback {};
        fallback.sa_handler = SIG_DFL;
        ::sigaction(signal, &fallback, nullptr);
    } else {
        previous.sa_handler(signal);
    }
}

void onFault(int signal, siginfo_t* info, void* context) {
    if (jumpArmed.load() && guardedThread.load() == currentThread()) {
        jumpArmed.store(false);
        siglongjmp(guardJump, 1);
    }
    passOn(signal, info, context);
}

} // namespace

FaultGuard::FaultGuard() {
    struct sigaction action {};
    action.sa_sigaction = &onFault;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGSEGV, &action, &previousSegv_);
    ::sigaction(SIGBUS, &action, &previousBus_);
    savedSegv = previousSegv_;
    savedBus = previousBus_;
    // Inside a SIGSEGV or SIGBUS handler the signal is blocked; a fault while
    // it is blocked would end the process without reaching the guard.
    sigset_t faults;
    sigemptyset(&faults);
    sigaddset(&faults, SIGSEGV);
    sigaddset(&faults, SIGBUS);
    ::pthread_sigmask(SIG_UNBLOCK, &faults, &previousMask_);
    guardedThread.store(currentThread());
}

FaultGuard::~FaultGuard() {
    jumpArmed.store(false);
    guardedThread.store(0);
    ::sigaction(SIGSEGV, &previousSegv_, nullptr);
    ::sigaction(SIGBUS, &previousBus_, nullptr);
    ::pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

sigjmp_buf* FaultGuard::jumpBuffer() { return &guardJump; }

void FaultGuard::enter() { jumpArmed.store(true); }

void FaultGuard::leave() { jumpArmed.store(false); }

bool FaultGuard::read(void* destination, const void* source, std::size_t length) {
    return guarded([&] { std::memcpy(destination, source, length); });
}

} // namespace crashcapture::capture
