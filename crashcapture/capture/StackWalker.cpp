#include "crashcapture/capture/StackWalker.h"

#define UNW_LOCAL_ONLY
#include <libunwind.h>

#include <dlfcn.h>
#include <mutex>

namespace crashcapture::capture {

namespace {

// libunwind is loaded privately (RTLD_LOCAL) instead of being linked: it also
// defines the _Unwind_* functions of C++ exception handling, and linked into
// the program it would take them over from the compiler's runtime for every
// throw in the process.
struct Unwinder {
    int (*initLocal)(unw_cursor_t*, unw_context_t*) = nullptr;
    int (*initLocal2)(unw_cursor_t*, unw_context_t*, int) = nullptr;
    int (*step)(unw_cursor_t*) = nullptr;
    int (*getRegister)(unw_cursor_t*, unw_regnum_t, unw_word_t*) = nullptr;
    bool loaded = false;
};

#define ZELVO_SYMBOL_TEXT(name) #name
#define ZELVO_SYMBOL(name) ZELVO_SYMBOL_TEXT(name)

Unwinder unwinder;
std::once_flag loadOnce;

template <class Function>
bool resolve(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(::dlsym(library, name));
    return function != nullptr;
}

void load() {
    void* library = ::dlopen("libunwind.so.8", RTLD_NOW | RTLD_LOCAL);
    if (!library) return;
    int (*setCachingPolicy)(unw_addr_space_t, unw_caching_policy_t) = nullptr;
    auto* space = static_cast<unw_addr_space_t*>(::dlsym(library, ZELVO_SYMBOL(unw_local_addr_space)));
    bool complete = resolve(library, ZELVO_SYMBOL(unw_init_local), unwinder.initLocal) &&
                    resolve(library, ZELVO_SYMBOL(unw_init_local2), unwinder.initLocal2) &&
                    resolve(library, ZELVO_SYMBOL(unw_step), unwinder.step) &&
                    resolve(library, ZELVO_SYMBOL(unw_get_reg), unwinder.getRegister) &&
                    resolve(library, ZELVO_SYMBOL(unw_set_caching_policy), setCachingPolicy) && space;
    if (!complete) return;
    // No caches, hence no locks of libunwind's own in the crash path.
    setCachingPolicy(*space, UNW_CACHE_NONE);
    unwinder.loaded = true;
}

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
    int initialized = state.signalFrame ? unwinder.initLocal2(&state.cursor, &state.context, UNW_INIT_SIGNAL_FRAME)
                                        : unwinder.initLocal(&state.cursor, &state.context);
    if (initialized != 0) return;
    do {
        unw_word_t pc = 0;
        if (unwinder.getRegister(&state.cursor, UNW_REG_IP, &pc) != 0 || pc == 0) break;
        state.frames[state.count] = static_cast<std::uintptr_t>(pc);
        state.count = state.count + 1;
    } while (state.count < state.capacity && unwinder.step(&state.cursor) > 0);
}

std::uintptr_t programCounter(const ucontext_t& context) {
#if defined(__x86_64__)
    return static_cast<std::uintptr_t>(context.uc_mcontext.gregs[REG_RIP]);
#elif defined(__aarch64__)
    return static_cast<std::uintptr_t>(context.uc_mcontext.pc);
#else
    (void)context;
    return 0;
#endif
}

} // namespace

bool prepareStackWalks() {
    std::call_once(loadOnce, load);
    return unwinder.loaded;
}

std::size_t walkStack(FaultGuard& guard, const ucontext_t& context, bool signalFrame, std::uintptr_t* frames,
                      std::size_t capacity) {
    if (capacity == 0) return 0;
    if (!unwinder.loaded) {
        // Without libunwind only the context's own pc is known.
        frames[0] = programCounter(context);
        return frames[0] ? 1 : 0;
    }
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
