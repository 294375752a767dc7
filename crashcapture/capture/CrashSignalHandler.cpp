#include "crashcapture/capture/CrashSignalHandler.h"

#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <new>
#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

namespace crashcapture::capture {

namespace {

// The calling thread's alternate stack, unmapped when the thread ends.
struct AlternateStack {
    void* memory = nullptr;
    std::size_t length = 0;
    ~AlternateStack() {
        if (!memory) return;
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        ::sigaltstack(&off, nullptr);
        ::munmap(memory, length);
    }
};
thread_local bool threadHasAlternateStack = false;
thread_local AlternateStack ownAlternateStack;

struct ThreadStart {
    void* (*routine)(void*);
    void* argument;
};

void* startWithAlternateStack(void* start) {
    const ThreadStart copy = *static_cast<ThreadStart*>(start);
    delete static_cast<ThreadStart*>(start);
    CrashSignalHandler::installAlternateStackForCurrentThread();
    return copy.routine(copy.argument);
}

void fail(CrashReporterError* error, const char* text) {
    if (error) *error = {CrashReporterError::kDomain, CrashReporterError::OperatingSystem, text};
}

} // namespace

CrashSignalHandler& CrashSignalHandler::sharedHandler() {
    static CrashSignalHandler* handler = new CrashSignalHandler(); // lives as long as the process
    return *handler;
}

bool CrashSignalHandler::installAlternateStackForCurrentThread() {
    if (threadHasAlternateStack) return true;
    stack_t current{};
    if (::sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE) &&
        current.ss_size >= kAlternateStackSize) {
        threadHasAlternateStack = true;
        return true;
    }
    // One guard page below the stack, so that an overflow of the handler
    // itself faults instead of writing over other memory.
    const long page = ::sysconf(_SC_PAGESIZE);
    const std::size_t length = kAlternateStackSize + static_cast<std::size_t>(page);
    void* memory = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (memory == MAP_FAILED) return false;
    ::mprotect(memory, static_cast<std::size_t>(page), PROT_NONE);
    stack_t stack{};
    stack.ss_sp = static_cast<char*>(memory) + page;
    stack.ss_size = kAlternateStackSize;
    if (::sigaltstack(&stack, nullptr) != 0) {
        ::munmap(memory, length);
        return false;
    }
    ownAlternateStack.memory = memory;
    ownAlternateStack.length = length;
    threadHasAlternateStack = true;
    return true;
}

bool CrashSignalHandler::registerHandlerForSignal(int signal, CrashSignalCallback callback, void* context,
                                                  CrashReporterError* error) {
    std::lock_guard lock(mutex_);
    if (!installAlternateStackForCurrentThread()) {
        fail(error, "Could not initialize alternative signal stack");
        return false;
    }
    if (!dispatcherAdded_) {
        dispatchers_.append(Dispatcher{&firstLevelDispatch});
        dispatcherAdded_ = true;
    }
    if (signal <= 0 || signal >= NSIG) {
        fail(error, "Failed to register signal handler");
        return false;
    }
    if (!installed_[signal]) {
        struct sigaction action {};
        action.sa_sigaction = &onSignal;
        action.sa_flags = SA_ONSTACK | SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        if (::sigaction(signal, &action, &previous_[signal]) != 0) {
            fail(error, "Failed to register signal handler");
            return false;
        }
        installed_[signal] = true;
    }
    callbacks_.append(Registration{signal, callback, context});
    return true;
}

void CrashSignalHandler::resetHandlers() {
    std::lock_guard lock(mutex_);
    for (int signal = 1; signal < NSIG; ++signal) {
        if (!installed_[signal]) continue;
        ::sigaction(signal, &previous_[signal], nullptr);
        installed_[signal] = false;
        previous_[signal] = {};
    }
    callbacks_.removeAll([](const Registration&) { return true; });
}

void CrashSignalHandler::resetFatalSignalsToDefault() {
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    for (int signal : kFatalSignals) ::sigaction(signal, &fallback, nullptr);
}

bool CrashSignalHandler::applyPreviousAction(int signal, siginfo_t* info, ucontext_t* context) const {
    const struct sigaction& previous = previous_[signal];
    if (previous.sa_flags & SA_SIGINFO) {
        if (!previous.sa_sigaction) return false;
        previous.sa_sigaction(signal, info, context);
        return true;
    }
    if (previous.sa_handler == SIG_IGN) return true;
    if (previous.sa_handler == SIG_DFL) return false;
    previous.sa_handler(signal);
    return true;
}

bool CrashSignalHandler::firstLevelDispatch(int signal, siginfo_t* info, ucontext_t* context, const void*) {
    CrashSignalHandler& self = sharedHandler();
    self.callbacks_.beginRead();
    bool handled = false;
    for (auto* node = self.callbacks_.first(); node && !handled; node = node->next.load()) {
        const Registration& registration = node->value;
        if (registration.signal == signal) handled = registration.callback(signal, info, context, registration.context);
    }
    self.callbacks_.endRead();
    return handled || self.applyPreviousAction(signal, info, context);
}

bool CrashSignalHandler::callDispatchers(int signal, siginfo_t* info, ucontext_t* context, const void* node) {
    const auto* current = static_cast<const AsyncSafeList<Dispatcher>::Node*>(node);
    if (!current) return false;
    return current->value.dispatch(signal, info, context, current->next.load());
}

void CrashSignalHandler::onSignal(int signal, siginfo_t* info, void* context) {
    const int savedErrno = errno;
    CrashSignalHandler& self = sharedHandler();
    self.dispatchers_.beginRead();
    const bool handled = callDispatchers(signal, info, static_cast<ucontext_t*>(context), self.dispatchers_.first());
    self.dispatchers_.endRead();
    errno = savedErrno;
    if (!handled) ::raise(signal);
}

} // namespace crashcapture::capture

// Every thread started through pthread_create (std::thread, Qt's, glib's and
// curl's threads alike) gets an alternate signal stack before its routine
// runs, so that a stack overflow on it reaches the crash handler. The
// program's definition comes before libc's in the dynamic linker's lookup
// order, for the program and for every library; libc's is the next one.
extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*routine)(void*),
                              void* argument) {
    using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static const auto next = reinterpret_cast<Create>(::dlsym(RTLD_NEXT, "pthread_create"));
    if (!next) return EAGAIN;
    auto* start = new (std::nothrow) crashcapture::capture::ThreadStart{routine, argument};
    if (!start) return next(thread, attributes, routine, argument);
    const int result = next(thread, attributes, &crashcapture::capture::startWithAlternateStack, start);
    if (result != 0) delete start;
    return result;
}
