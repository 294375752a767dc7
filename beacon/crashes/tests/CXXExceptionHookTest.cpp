#include "beacon/crashes/hooks/CrashesCXXExceptionWrapperException.h"
#include "beacon/crashes/hooks/UncaughtCXXExceptionHandlerManager.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <dlfcn.h>
#include <stdexcept>
#include <thread>

namespace beacon {
namespace {

// The throw sites: exported, so that dladdr names them in a return address.
extern "C" [[gnu::noinline]] void zelvoTestThrowRuntimeError() { throw std::runtime_error("disk on fire"); }
extern "C" [[gnu::noinline]] void zelvoTestThrowText() { throw "plain text"; }
extern "C" [[gnu::noinline]] void zelvoTestThrowString() { throw std::string("a string"); }
extern "C" [[gnu::noinline]] void zelvoTestThrowInt() { throw 42; }
extern "C" [[gnu::noinline]] void zelvoTestThrowLogicError() { throw std::logic_error("bad"); }
// Rethrows an exception kept from earlier, after another throw on the thread.
extern "C" [[gnu::noinline]] void zelvoTestThrowStoredLater() {
    std::exception_ptr stored = std::make_exception_ptr(std::runtime_error("kept"));
    try {
        zelvoTestThrowInt();
    } catch (int) {}
    std::rethrow_exception(stored);
}

// The first throw site on the stack, "top" when it is the first frame. A
// return address is looked up one byte earlier, inside its call: a call to
// a function that never returns may end its caller.
void report(const CrashesUncaughtCXXExceptionInfo& info) {
    CrashesCXXExceptionWrapperException exception(info);
    const auto& frames = exception.callStackReturnAddresses();
    std::string site = "missing";
    for (std::size_t index = 0; index < frames.size() && site == "missing"; ++index) {
        Dl_info symbol{};
        if (::dladdr(reinterpret_cast<void*>(frames[index] - 1), &symbol) && symbol.dli_sname &&
            std::string(symbol.dli_sname).starts_with("zelvoTestThrow"))
            site = std::string(symbol.dli_sname) + (index == 0 ? " top" : " below");
    }
    std::fprintf(stderr, "name=<%s> reason=<%s> throw site %s\n", exception.name().c_str(), exception.reason().c_str(),
                 site.c_str());
}

// On a worker thread, so that nothing (the test framework included) can
// catch the exception; caught and rethrown on the way, which unwinds the
// throw site before the process terminates.
void crashWith(void (*thrower)()) {
    CrashesUncaughtCXXExceptionHandlerManager::addCXXExceptionHandler(report);
    std::thread([thrower] {
        try {
            thrower();
        } catch (...) {
            throw;
        }
    }).join();
}

TEST(CXXExceptionHookDeathTest, UncaughtExceptionsReachTheHandlerWithTheirThrowSite) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(crashWith(zelvoTestThrowRuntimeError),
                 "name=<std::runtime_error> reason=<disk on fire> throw site zelvoTestThrowRuntimeError top");
    EXPECT_DEATH(crashWith(zelvoTestThrowText),
                 "name=<char const\\*> reason=<plain text> throw site zelvoTestThrowText top");
    EXPECT_DEATH(crashWith(zelvoTestThrowString),
                 "name=<std::__cxx11::basic_string.*> reason=<a string> throw site zelvoTestThrowString top");
    EXPECT_DEATH(crashWith(zelvoTestThrowInt), "name=<int> reason=<> throw site zelvoTestThrowInt top");
    // The later throw's record is not this exception's: the stack is taken
    // at termination, where no thrower is left.
    EXPECT_DEATH(crashWith(zelvoTestThrowStoredLater), "reason=<kept> throw site missing");
}

TEST(CXXExceptionHookDeathTest, TheReplacedTerminateHandlerRunsAfterTheHandlers) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            std::set_terminate([] {
                std::fprintf(stderr, "previous handler ran\n");
                std::abort();
            });
            crashWith(zelvoTestThrowLogicError);
        },
        "name=<std::logic_error> reason=<bad> throw site zelvoTestThrowLogicError top\nprevious handler ran");
}

void handlerA(const CrashesUncaughtCXXExceptionInfo&) {}
void handlerB(const CrashesUncaughtCXXExceptionInfo&) {}
void otherComponentsHandler() { std::abort(); }
void originalHandler() { std::abort(); }

TEST(CXXExceptionHook, AddingAndRemovingKeepsTheTerminateHandlerChain) {
    using M = CrashesUncaughtCXXExceptionHandlerManager;
    std::set_terminate(originalHandler);
    M::addCXXExceptionHandler(handlerA);
    M::addCXXExceptionHandler(handlerB);
    M::addCXXExceptionHandler(handlerA);
    EXPECT_EQ(M::countCXXExceptionHandler(), 3u);
    EXPECT_NE(std::get_terminate(), originalHandler);

    M::removeCXXExceptionHandler(handlerA);
    M::removeCXXExceptionHandler(handlerB);
    EXPECT_EQ(M::countCXXExceptionHandler(), 1u);
    M::removeCXXExceptionHandler(handlerA);
    EXPECT_EQ(M::countCXXExceptionHandler(), 0u);
    EXPECT_EQ(std::get_terminate(), originalHandler);

    // Another component replaced the hook's handler meanwhile: it stays.
    M::addCXXExceptionHandler(handlerA);
    std::set_terminate(otherComponentsHandler);
    M::removeCXXExceptionHandler(handlerA);
    EXPECT_EQ(std::get_terminate(), otherComponentsHandler);
    std::set_terminate(originalHandler);
}

} // namespace
} // namespace beacon
