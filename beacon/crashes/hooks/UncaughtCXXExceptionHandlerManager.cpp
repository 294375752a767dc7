#include "beacon/crashes/hooks/UncaughtCXXExceptionHandlerManager.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <exception>
#include <dlfcn.h>
#include <execinfo.h>
#include <mutex>
#include <pthread.h>
#include <string>
#include <typeinfo>
#include <vector>

namespace beacon {

namespace {

// One per thread, allocated zero-filled at the thread's first recorded throw
// and freed when the thread ends.
struct ThrowRecord {
    void* thrownObject;
    std::uintptr_t frames[CrashesUncaughtCXXExceptionHandlerManager::kMaxFrames];
    std::uint32_t frameCount;
};
static_assert(sizeof(ThrowRecord) == 1040);

class SpinLock {
public:
    void lock() {
        while (flag_.test_and_set(std::memory_order_acquire)) {}
    }
    void unlock() { flag_.clear(std::memory_order_release); }

private:
    std::atomic_flag flag_ = ATOMIC_FLAG_INIT;
};

struct HookState {
    SpinLock lock;
    std::vector<CrashesUncaughtCXXExceptionHandler> handlers;
    std::atomic<bool> installed{false};
    std::terminate_handler previous = nullptr;
};

HookState& state() {
    static HookState* instance = new HookState; // lives past static destruction
    return *instance;
}

pthread_key_t gRecordKey;
std::once_flag gRecordKeyOnce;
std::atomic<bool> gRecordKeyReady{false};

void createRecordKey() {
    std::call_once(gRecordKeyOnce, [] {
        pthread_key_create(&gRecordKey, [](void* record) { std::free(record); });
        gRecordKeyReady = true;
    });
}

ThrowRecord* currentRecord(bool create) {
    if (!gRecordKeyReady) return nullptr;
    auto* record = static_cast<ThrowRecord*>(pthread_getspecific(gRecordKey));
    if (!record && create) {
        record = static_cast<ThrowRecord*>(std::calloc(1, sizeof(ThrowRecord)));
        if (record) pthread_setspecific(gRecordKey, record);
    }
    return record;
}

// The stack from the first frame that is not the hook's own. Found from
// this function's return address (backtrace may add frames of its own, as a
// sanitizer's interposed one does); `hookFrames` of the hook's frames come
// from there on: recordThrow and __cxa_throw for a throw (kThrowHookFrames),
// the terminate hook for a capture at termination (kTerminateHookFrames).
constexpr int kThrowHookFrames = 2;
constexpr int kTerminateHookFrames = 1;

[[gnu::noinline]] std::uint32_t captureFrames(std::uintptr_t* into, int hookFrames) {
    constexpr int kCapacity = CrashesUncaughtCXXExceptionHandlerManager::kMaxFrames + 8;
    void* frames[kCapacity];
    const int count = ::backtrace(frames, kCapacity);
    int first = 0;
    while (first < count && frames[first] != __builtin_return_address(0)) ++first;
    first = first < count ? first + hookFrames : hookFrames + 1;
    std::uint32_t kept = 0;
    for (int i = first; i < count && kept < CrashesUncaughtCXXExceptionHandlerManager::kMaxFrames; ++i)
        into[kept++] = reinterpret_cast<std::uintptr_t>(frames[i]);
    return kept;
}

// The thrown object an exception_ptr refers to: with libstdc++ the pointer is
// its only member, the same pointer __cxa_throw was given.
void* thrownObjectOf(const std::exception_ptr& exception) {
    static_assert(sizeof(std::exception_ptr) == sizeof(void*));
    void* object = nullptr;
    std::memcpy(&object, static_cast<const void*>(&exception), sizeof object);
    return object;
}

void hookTerminateHandler() {
    auto& hook = state();
    const std::exception_ptr exception = std::current_exception();
    hook.lock.lock();
    if (!exception) {
        const auto previous = hook.previous;
        hook.lock.unlock();
        if (previous) previous();
        std::abort();
    }

    const std::type_info* type = abi::__cxa_current_exception_type();
    const char* typeName = type ? type->name() : nullptr;
    // A name of the type info may start with '*' (a local type); skip it.
    if (typeName && *typeName == '*') ++typeName;

    std::uintptr_t captured[CrashesUncaughtCXXExceptionHandlerManager::kMaxFrames];
    const std::uintptr_t* frames = captured;
    std::uint32_t count = 0;
    // The thread's last throw is this exception's only when it threw this
    // very object; after std::rethrow_exception of an older exception, or a
    // throw that bypassed the record, the stack is taken here instead.
    const ThrowRecord* record = currentRecord(false);
    if (record && record->frameCount > 0 && record->thrownObject == thrownObjectOf(exception)) {
        frames = record->frames;
        count = record->frameCount;
    } else {
        count = captureFrames(captured, kTerminateHookFrames);
    }

    std::string message;
    bool hasMessage = true;
    try {
        std::rethrow_exception(exception);
    } catch (const std::exception& error) {
        message = error.what();
    } catch (const std::exception* error) {
        if (error) message = error->what();
        else hasMessage = false;
    } catch (const std::string& text) {
        message = text;
    } catch (const std::string* text) {
        if (text) message = *text;
        else hasMessage = false;
    } catch (const char* text) {
        if (text) message = text;
        else hasMessage = false;
    } catch (...) {
        hasMessage = false;
    }

    const CrashesUncaughtCXXExceptionInfo info{exception, typeName, hasMessage ? message.c_str() : nullptr, count,
                                               frames};
    for (const auto handler : hook.handlers) handler(info);
    const auto previous = hook.previous;
    hook.lock.unlock();
    if (previous) previous();
    std::abort();
}

} // namespace

void CrashesUncaughtCXXExceptionHandlerManager::addCXXExceptionHandler(CrashesUncaughtCXXExceptionHandler handler) {
    createRecordKey();
    auto& hook = state();
    std::lock_guard lock(hook.lock);
    if (!hook.installed) {
        hook.previous = std::set_terminate(hookTerminateHandler);
        hook.installed = true;
    }
    hook.handlers.push_back(handler);
}

void CrashesUncaughtCXXExceptionHandlerManager::removeCXXExceptionHandler(CrashesUncaughtCXXExceptionHandler handler) {
    auto& hook = state();
    std::lock_guard lock(hook.lock);
    const auto found = std::find(hook.handlers.begin(), hook.handlers.end(), handler);
    if (found != hook.handlers.end()) hook.handlers.erase(found);
    if (hook.installed && hook.handlers.empty()) {
        const auto replaced = std::set_terminate(hook.previous);
        if (replaced == hookTerminateHandler) {
            hook.installed = false;
            hook.previous = nullptr;
        } else {
            std::set_terminate(replaced);
        }
    }
}

std::size_t CrashesUncaughtCXXExceptionHandlerManager::countCXXExceptionHandler() {
    auto& hook = state();
    std::lock_guard lock(hook.lock);
    return hook.handlers.size();
}

std::vector<std::uintptr_t> CrashesUncaughtCXXExceptionHandlerManager::currentThreadThrowFrames() {
    const ThrowRecord* record = currentRecord(false);
    if (!record) return {};
    return std::vector<std::uintptr_t>(record->frames, record->frames + record->frameCount);
}

namespace detail {

// Called by the program's __cxa_throw for every throw.
[[gnu::noinline]] void recordThrow(void* thrownObject) {
    if (!state().installed.load(std::memory_order_relaxed)) return;
    ThrowRecord* record = currentRecord(true);
    if (!record) return;
    record->thrownObject = thrownObject;
    record->frameCount = captureFrames(record->frames, kThrowHookFrames);
}

} // namespace detail

} // namespace beacon
