#pragma once

#include "crashcapture/capture/WriterState.h"

#include <cstddef>
#include <cstdint>
#include <sys/types.h>
#include <ucontext.h>

namespace crashcapture::capture {

struct SignalRecord {
    int number = 0;
    int code = 0;
    std::uintptr_t address = 0;
};

// What one report is written from. The crashed thread's context is given by
// the caller (the signal handler's, or the live report's own); without one,
// the calling thread is left out of the report.
struct ReportInput {
    const WriterState* state = nullptr;
    const ExceptionRecord* exception = nullptr; // written only when set
    const CustomDataBlock* customData = nullptr;
    pid_t crashedThread = 0;
    const ucontext_t* crashedContext = nullptr;
    bool crashedContextIsSignalFrame = true;
    SignalRecord signal;
};

// The output buffer of a report write.
constexpr std::size_t kOutputBufferSize = 256 * 1024;

// Writes one report to fd: stops the other threads, reads their registers,
// walks every stack and the image list, and streams the message through a
// 256 KiB buffer. The threads stay stopped: the caller lets them go on with
// ThreadStopper::releaseAll() when it is done. No allocation, no locks, only
// async-signal-safe calls. The caller makes sure only one write runs at a
// time. Returns 0, or the errno of a failed write.
int writeReport(int fd, const ReportInput& input);

// Time taken by the last writeReport to stop the other threads (for the benchmark).
long lastStopMicroseconds();

} // namespace crashcapture::capture
