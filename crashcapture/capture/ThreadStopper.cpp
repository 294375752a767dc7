#include "crashcapture/capture/ThreadStopper.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <linux/futex.h>
#include <mutex>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace crashcapture::capture {

namespace {

enum SlotState : int { Idle = 0, Requested = 1, Captured = 2 };

struct Slot {
    std::atomic<pid_t> id{0};
    std::atomic<int> state{Idle};
    ucontext_t context;
};

Slot slots[ThreadStopper::kMaxThreads];
ThreadStopper::Thread listed[ThreadStopper::kMaxThreads];
std::size_t listedCount = 0;
std::atomic<int> releaseGeneration{0};
std::atomic<int> chosenSignal{0};
std::once_flag installOnce;

long futex(std::atomic<int>* word, int operation, int value) {
    return ::syscall(SYS_futex, reinterpret_cast<int*>(word), operation, value, nullptr, nullptr, 0);
}

void onStop(int, siginfo_t*, void* context) {
    const int savedErrno = errno;
    const int generation = releaseGeneration.load();
    const pid_t self = currentThreadId();
    for (Slot& slot : slots) {
        if (slot.id.load(std::memory_order_relaxed) != self) continue;
        if (slot.state.load() != Requested) break;
        std::memcpy(&slot.context, context, sizeof(ucontext_t));
        slot.state.store(Captured);
        while (releaseGeneration.load() == generation) futex(&releaseGeneration, FUTEX_WAIT_PRIVATE, generation);
        break;
    }
    errno = savedErrno;
}

long elapsedMilliseconds(const timespec& since) {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return (now.tv_sec - since.tv_sec) * 1000 + (now.tv_nsec - since.tv_nsec) / 1000000;
}

// Thread ids from /proc/self/task, read with raw getdents64 (no allocation).
std::size_t listThreads(pid_t* ids, std::size_t capacity) {
    const int fd = ::open("/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        ids[0] = currentThreadId();
        return 1;
    }
    alignas(8) char buffer[4096];
    std::size_t count = 0;
    for (;;) {
        const long read = ::syscall(SYS_getdents64, fd, buffer, sizeof buffer);
        if (read <= 0) break;
        for (long offset = 0; offset < read;) {
            auto* entry = reinterpret_cast<dirent64*>(buffer + offset);
            offset += entry->d_reclen;
            pid_t id = 0;
            bool number = entry->d_name[0] != '\0';
            for (const char* c = entry->d_name; *c; ++c) {
                if (*c < '0' || *c > '9') number = false;
                else id = id * 10 + (*c - '0');
            }
            if (number && count < capacity) ids[count++] = id;
        }
    }
    ::close(fd);
    return count;
}

} // namespace

pid_t currentThreadId() { return static_cast<pid_t>(::syscall(SYS_gettid)); }

bool ThreadStopper::install() {
    std::call_once(installOnce, [] {
        // The highest real-time signal nobody handles yet.
        for (int candidate = SIGRTMAX; candidate > SIGRTMIN; --candidate) {
            struct sigaction current {};
            if (::sigaction(candidate, nullptr, &current) != 0) continue;
            if (current.sa_handler != SIG_DFL || (current.sa_flags & SA_SIGINFO)) continue;
            struct sigaction action {};
            action.sa_sigaction = &onStop;
            action.sa_flags = SA_SIGINFO | SA_RESTART | SA_ONSTACK;
            sigfillset(&action.sa_mask);
            if (::sigaction(candidate, &action, nullptr) == 0) {
                chosenSignal.store(candidate);
                break;
            }
        }
    });
    return chosenSignal.load() != 0;
}

int ThreadStopper::stopSignal() { return chosenSignal.load(); }

std::size_t ThreadStopper::stopOthers(long timeoutMilliseconds) {
    pid_t ids[kMaxThreads];
    const pid_t self = currentThreadId();
    const pid_t process = ::getpid();
    const int signal = chosenSignal.load();
    listedCount = listThreads(ids, kMaxThreads);
    for (std::size_t index = 0; index < listedCount; ++index) {
        Slot& slot = slots[index];
        listed[index] = {ids[index], false, nullptr};
        slot.state.store(Idle);
        slot.id.store(ids[index]);
        if (ids[index] == self || signal == 0) continue;
        slot.state.store(Requested);
        if (::syscall(SYS_tgkill, process, ids[index], signal) != 0) slot.state.store(Idle); // already gone
    }
    timespec start{};
    ::clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        bool waiting = false;
        for (std::size_t index = 0; index < listedCount; ++index)
            if (slots[index].state.load() == Requested) waiting = true;
        if (!waiting || elapsedMilliseconds(start) > timeoutMilliseconds) break;
        ::sched_yield();
    }
    for (std::size_t index = 0; index < listedCount; ++index) {
        if (slots[index].state.load() != Captured) continue;
        listed[index].captured = true;
        listed[index].context = &slots[index].context;
    }
    return listedCount;
}

const ThreadStopper::Thread& ThreadStopper::thread(std::size_t index) { return listed[index]; }

std::size_t ThreadStopper::count() { return listedCount; }

void ThreadStopper::releaseAll() {
    for (std::size_t index = 0; index < listedCount; ++index) {
        slots[index].state.store(Idle);
        slots[index].id.store(0);
    }
    releaseGeneration.fetch_add(1);
    futex(&releaseGeneration, FUTEX_WAKE_PRIVATE, INT32_MAX);
}

} // namespace crashcapture::capture
