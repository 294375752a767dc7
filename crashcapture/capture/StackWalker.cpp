#include "crashcapture/capture/StackWalker.h"

#define UNW_LOCAL_ONLY
#include <libunwind.h>

namespace crashcapture::capture {

namespace {

// Kept outside the guarded walk's registers: a fault jumps out of it.
struct WalkState {
    unw_cursor_t cursor;
    ucontext_t context;
    std::uintptr_t* frames;
    std::size_t capacity;
    volatile std::size_t count;
    bool signalFrame;
};

void walk(WalkState& state) {
    int initialized = state.signalFrame ? unw_init_local2(&state.cursor, &state.context, UNW_INIT_SIGNAL_FRAME)
                                        : unw_init_local(&state.cursor, &state.context);
    if (initialized != 0) return;
    do {
        unw_word_t pc = 0;
        if (unw_get_reg(&state.cursor, UNW_REG_IP, &pc) != 0 || pc == 0) break;
        state.frames[state.count] = static_cast<std::uintptr_t>(pc);
        state.count = state.count + 1;
    } while (state.count < state.capacity && unw_step(&state.cursor) > 0);
}

} // namespace

void prepareStackWalks() { unw_set_caching_policy(unw_local_addr_space, UNW_CACHE_NONE); }

std::size_t walkStack(FaultGuard& guard, const ucontext_t& context, bool signalFrame, std::uintptr_t* frames,
                      std::size_t capacity) {
    static WalkState state;  // the writer runs one walk at a time
    state.context = context;
    state.frames = frames;
    state.capacity = capacity;
    state.count = 0;
    state.signalFrame = signalFrame;
    guard.guarded([] { walk(state); });
    return state.count;
}

} // namespace crashcapture::capture
