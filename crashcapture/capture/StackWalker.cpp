#include "crashcapture/capture/StackWalker.h"

#define UNW_LOCAL_ONLY
#include <libunwind.h>

#include <cstdint>
#include <cstring>
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

template <class Function> bool resolve(void* library, const char* name, Function& function) {
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

#if defined(__x86_64__)
// The preferred walker: libunwind's remote interface over an address space
// of our own, whose callbacks read this process's memory directly and find
// unwind tables with _dl_find_object, which takes no lock. libunwind's local
// interface finds them with dl_iterate_phdr instead, which waits for the
// dynamic linker's lock, possibly held by one of the stopped threads.
struct RemoteUnwinder {
    unw_addr_space_t (*createAddressSpace)(unw_accessors_t*, int) = nullptr;
    int (*initRemote)(unw_cursor_t*, unw_addr_space_t, void*) = nullptr;
    int (*step)(unw_cursor_t*) = nullptr;
    int (*getRegister)(unw_cursor_t*, unw_regnum_t, unw_word_t*) = nullptr;
    int (*setCachingPolicy)(unw_addr_space_t, unw_caching_policy_t) = nullptr;
    int (*searchUnwindTable)(unw_addr_space_t, unw_word_t, unw_dyn_info_t*, unw_proc_info_t*, int, void*) = nullptr;
    unw_addr_space_t space = nullptr;
};

RemoteUnwinder remote;

// libunwind register numbers → ucontext general registers.
int gregIndex(unw_regnum_t reg) {
    static constexpr int kIndex[] = {REG_RAX, REG_RDX, REG_RCX, REG_RBX, REG_RSI, REG_RDI, REG_RBP, REG_RSP, REG_R8,
                                     REG_R9,  REG_R10, REG_R11, REG_R12, REG_R13, REG_R14, REG_R15, REG_RIP};
    return reg >= 0 && reg <= UNW_X86_64_RIP ? kIndex[reg] : -1;
}

int findProcInfo(unw_addr_space_t space, unw_word_t ip, unw_proc_info_t* info, int needUnwindInfo, void* arg) {
    dl_find_object object{};
    if (_dl_find_object(reinterpret_cast<void*>(ip), &object) != 0 || !object.dlfo_eh_frame) return -UNW_ENOINFO;
    // .eh_frame_hdr: version 1, then the encodings of the .eh_frame pointer,
    // the entry count and the sorted table; the usual ones are required.
    const auto* header = static_cast<const std::uint8_t*>(object.dlfo_eh_frame);
    if (header[0] != 1 || header[1] != 0x1B || header[2] != 0x03 || header[3] != 0x3B) return -UNW_ENOINFO;
    std::uint32_t entries = 0;
    std::memcpy(&entries, header + 8, sizeof entries);
    unw_dyn_info_t table{};
    table.format = UNW_INFO_FORMAT_REMOTE_TABLE;
    table.start_ip = reinterpret_cast<unw_word_t>(object.dlfo_map_start);
    table.end_ip = reinterpret_cast<unw_word_t>(object.dlfo_map_end);
    table.u.rti.segbase = reinterpret_cast<unw_word_t>(header);
    table.u.rti.table_data = reinterpret_cast<unw_word_t>(header + 12);
    table.u.rti.table_len = entries * 2 * sizeof(std::int32_t) / sizeof(unw_word_t);
    return remote.searchUnwindTable(space, ip, &table, info, needUnwindInfo, arg);
}

// Unwind information lives in libunwind's own pool; it is kept rather than
// handed back, which costs a few bytes per frame of a live report.
void putUnwindInfo(unw_addr_space_t, unw_proc_info_t*, void*) {}

int getDynamicInfoListAddress(unw_addr_space_t, unw_word_t*, void*) { return -UNW_ENOINFO; }

// Reads are guarded by the walk's fault guard: a bad address ends the walk.
int accessMemory(unw_addr_space_t, unw_word_t address, unw_word_t* value, int write, void*) {
    if (write) return -UNW_EINVAL;
    std::memcpy(value, reinterpret_cast<const void*>(address), sizeof *value);
    return 0;
}

int accessRegister(unw_addr_space_t, unw_regnum_t reg, unw_word_t* value, int write, void* arg) {
    const int index = gregIndex(reg);
    if (index < 0) return -UNW_EBADREG;
    auto* context = static_cast<ucontext_t*>(arg);
    if (write) context->uc_mcontext.gregs[index] = static_cast<greg_t>(*value);
    else *value = static_cast<unw_word_t>(context->uc_mcontext.gregs[index]);
    return 0;
}

int accessFloatRegister(unw_addr_space_t, unw_regnum_t, unw_fpreg_t*, int, void*) { return -UNW_EBADREG; }
int resume(unw_addr_space_t, unw_cursor_t*, void*) { return -UNW_EINVAL; }
int procedureName(unw_addr_space_t, unw_word_t, char*, size_t, unw_word_t*, void*) { return -UNW_ENOINFO; }

unw_accessors_t remoteAccessors = {
    &findProcInfo, &putUnwindInfo, &getDynamicInfoListAddress, &accessMemory, &accessRegister, &accessFloatRegister,
    &resume,       &procedureName,
};

void loadRemote() {
    void* library = ::dlopen("libunwind-x86_64.so.8", RTLD_NOW | RTLD_LOCAL);
    if (!library) return;
    const bool complete = resolve(library, "_Ux86_64_create_addr_space", remote.createAddressSpace) &&
                          resolve(library, "_Ux86_64_init_remote", remote.initRemote) &&
                          resolve(library, "_Ux86_64_step", remote.step) &&
                          resolve(library, "_Ux86_64_get_reg", remote.getRegister) &&
                          resolve(library, "_Ux86_64_set_caching_policy", remote.setCachingPolicy) &&
                          resolve(library, "_Ux86_64_dwarf_search_unwind_table", remote.searchUnwindTable);
    if (!complete) return;
    remote.space = remote.createAddressSpace(&remoteAccessors, 0);
    if (remote.space) remote.setCachingPolicy(remote.space, UNW_CACHE_NONE);
}
#endif

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
#if defined(__x86_64__)
    if (remote.space) {
        if (remote.initRemote(&state.cursor, remote.space, &state.context) != 0) return;
        do {
            unw_word_t pc = 0;
            if (remote.getRegister(&state.cursor, UNW_REG_IP, &pc) != 0 || pc == 0) break;
            state.frames[state.count] = static_cast<std::uintptr_t>(pc);
            state.count = state.count + 1;
        } while (state.count < state.capacity && remote.step(&state.cursor) > 0);
        return;
    }
#endif
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

// A call to an address outside every image (through a null or stale
// function pointer) stops with the pc there, before any frame was set up:
// the caller's return address is on top of the stack (in the link register
// on arm64). Moves the context to that caller, as if the call had returned;
// false when there is none to move to.
bool stepOutOfBadCall(FaultGuard& guard, ucontext_t& context) {
    dl_find_object object{};
    if (_dl_find_object(reinterpret_cast<void*>(programCounter(context)), &object) == 0) return false;
#if defined(__x86_64__)
    greg_t* registers = context.uc_mcontext.gregs;
    std::uintptr_t caller = 0;
    if (!guard.read(&caller, reinterpret_cast<const void*>(registers[REG_RSP]), sizeof caller) || caller == 0)
        return false;
    registers[REG_RIP] = static_cast<greg_t>(caller);
    registers[REG_RSP] += static_cast<greg_t>(sizeof caller);
    return true;
#elif defined(__aarch64__)
    if (context.uc_mcontext.regs[30] == 0) return false;
    context.uc_mcontext.pc = context.uc_mcontext.regs[30];
    return true;
#else
    (void)guard;
    return false;
#endif
}

} // namespace

bool prepareStackWalks() {
    std::call_once(loadOnce, [] {
#if defined(__x86_64__)
        loadRemote();
#endif
        load();
    });
    return unwinder.loaded
#if defined(__x86_64__)
           || remote.space
#endif
        ;
}

std::size_t walkStack(FaultGuard& guard, const ucontext_t& context, bool signalFrame, std::uintptr_t* frames,
                      std::size_t capacity) {
    if (capacity == 0) return 0;
    if (!unwinder.loaded
#if defined(__x86_64__)
        && !remote.space
#endif
    ) {
        // Without libunwind only the context's own pc is known.
        frames[0] = programCounter(context);
        return frames[0] ? 1 : 0;
    }
    static WalkState state; // the writer runs one walk at a time
    state.context = context;
    std::size_t first = 0;
    if (signalFrame && capacity > 1 && stepOutOfBadCall(guard, state.context)) {
        frames[first++] = programCounter(context);
        signalFrame = false;
    }
    state.frames = frames + first;
    state.capacity = capacity - first;
    state.count = 0;
    state.signalFrame = signalFrame;
    guard.guarded([] { walk(state); });
    return first + state.count;
}

} // namespace crashcapture::capture
