// The program's own C++ throw entry. Every throw of the program (and of the
// libraries that bind to the program's definition) reaches it; it records the
// throw site's stack for the uncaught-exception hook and hands over to the
// C++ runtime's definition. Kept apart from headers that declare the runtime's
// entry so that this definition is the only one in sight.
#include <cstdlib>
#include <dlfcn.h>

namespace std {
class type_info;
}

namespace beacon::detail {
void recordThrow(void* thrownObject);
}

namespace {
using CxaThrow = void (*)(void*, std::type_info*, void (*)(void*));

CxaThrow nextCxaThrow() {
    static const CxaThrow next = reinterpret_cast<CxaThrow>(::dlsym(RTLD_NEXT, "__cxa_throw"));
    return next;
}
} // namespace

extern "C" [[noreturn]] void __cxa_throw(void* thrownObject, std::type_info* type, void (*destructor)(void*)) {
    beacon::detail::recordThrow(thrownObject);
    const CxaThrow next = nextCxaThrow();
    if (!next) std::abort();
    next(thrownObject, type, destructor);
    std::abort();
}
