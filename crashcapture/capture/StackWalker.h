#pragma once

#include "crashcapture/capture/FaultGuard.h"

#include <cstddef>
#include <cstdint>
#include <ucontext.h>

namespace crashcapture::capture {

// Walks a stack with libunwind from a captured context into `frames` (at
// most `capacity` program counters) and returns how many it found. A
// context taken in a signal handler is a signal frame: its pc is the
// interrupted instruction itself. The walk stops at the first frame whose
// memory cannot be read (through `guard`), keeping the frames before it.
std::size_t walkStack(FaultGuard& guard, const ucontext_t& context, bool signalFrame, std::uintptr_t* frames,
                      std::size_t capacity);

// Loads libunwind and prepares it for the crash path (no caches, hence no
// locks of its own). Not async-signal-safe: called while arming. False when
// libunwind is missing; stacks then hold only each thread's pc.
bool prepareStackWalks();

} // namespace crashcapture::capture
