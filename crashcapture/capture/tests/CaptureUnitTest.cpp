// The pieces of the crash path that can be checked inside the test process.
#include "crashcapture/capture/AsyncSafeList.h"
#include "crashcapture/capture/CrashSignalHandler.h"
#include "crashcapture/capture/SignalNames.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <string>

namespace crashcapture::capture {
namespace {

TEST(SignalNames, NamesSignalsAndCodesOrNumbersThem) {
    struct Case {
        int signal, code;
        const char* signalName;
        const char* codeName;
    };
    const Case cases[] = {
        {SIGSEGV, SEGV_MAPERR, "SIGSEGV", "SEGV_MAPERR"},
        {SIGSEGV, SEGV_ACCERR, "SIGSEGV", "SEGV_ACCERR"},
        {SIGBUS, BUS_ADRERR, "SIGBUS", "BUS_ADRERR"},
        {SIGBUS, BUS_ADRALN, "SIGBUS", "BUS_ADRALN"},
        {SIGFPE, FPE_INTDIV, "SIGFPE", "FPE_INTDIV"},
        {SIGILL, ILL_ILLOPN, "SIGILL", "ILL_ILLOPN"},
        {SIGTRAP, TRAP_BRKPT, "SIGTRAP", "TRAP_BRKPT"},
        {SIGTRAP, SI_KERNEL, "SIGTRAP", "SI_KERNEL"},
        {SIGABRT, SI_TKILL, "SIGABRT", "SI_TKILL"},
        {SIGABRT, SI_USER, "SIGABRT", "SI_USER"},
        {SIGSEGV, 99, "SIGSEGV", "#99"},
        {SIGPIPE, 3, "SIGPIPE", "#3"},
        {77, -42, "#77", "#-42"},
    };
    for (const Case& c : cases) {
        char signal[32], code[32];
        EXPECT_EQ(std::string(signal, signalName(c.signal, signal)), c.signalName);
        EXPECT_EQ(std::string(code, signalCodeName(c.signal, c.code, code)), c.codeName)
            << c.signalName << " " << c.code;
    }
}

TEST(AsyncSafeList, RemovedEntriesWaitForActiveReaders) {
    AsyncSafeList<int> list;
    for (int value : {1, 2, 3}) list.append(value);

    list.beginRead();
    auto* reader = list.first(); // a walker stands on the entry that goes away
    ASSERT_TRUE(list.removeFirst([](int value) { return value == 1; }));
    EXPECT_EQ(list.parkedCount(), 1);
    EXPECT_EQ(reader->value, 1);
    EXPECT_EQ(reader->next.load()->value, 2) << "a parked entry still leads on to the list";
    list.endRead();

    list.append(4); // the next change frees what no walker can see any more
    EXPECT_EQ(list.parkedCount(), 0);
    std::string values;
    for (auto* node = list.first(); node; node = node->next.load()) values += std::to_string(node->value);
    EXPECT_EQ(values, "234");
}

std::atomic<int> earlierCalls{0};
std::atomic<int> callbackCalls{0};
bool handledByCallback = false;

bool engineCallback(int, siginfo_t*, ucontext_t*, void*) {
    ++callbackCalls;
    return handledByCallback;
}

TEST(CrashSignalHandler, ChainsToTheActionInstalledBefore) {
    struct Case {
        const char* name;
        void (*install)(struct sigaction&);
        bool callbackHandles;
        int earlierCallsExpected;
    };
    const Case cases[] = {
        {"siginfo handler",
         [](struct sigaction& a) {
             a.sa_flags = SA_SIGINFO;
             a.sa_sigaction = [](int, siginfo_t*, void*) { ++earlierCalls; };
         },
         false, 1},
        {"plain handler", [](struct sigaction& a) { a.sa_handler = [](int) { ++earlierCalls; }; }, false, 1},
        {"ignored", [](struct sigaction& a) { a.sa_handler = SIG_IGN; }, false, 0},
        {"handled by the engine", [](struct sigaction& a) { a.sa_handler = [](int) { ++earlierCalls; }; }, true, 0},
    };
    CrashSignalHandler& handler = CrashSignalHandler::sharedHandler();
    for (const Case& c : cases) {
        struct sigaction earlier {};
        sigemptyset(&earlier.sa_mask);
        c.install(earlier);
        ASSERT_EQ(::sigaction(SIGUSR1, &earlier, nullptr), 0);
        earlierCalls = 0;
        callbackCalls = 0;
        handledByCallback = c.callbackHandles;

        CrashReporterError error;
        ASSERT_TRUE(handler.registerHandlerForSignal(SIGUSR1, &engineCallback, nullptr, &error))
            << error.localizedDescription;
        struct sigaction installed {};
        ::sigaction(SIGUSR1, nullptr, &installed);
        EXPECT_EQ(installed.sa_flags & (SA_ONSTACK | SA_SIGINFO), SA_ONSTACK | SA_SIGINFO) << c.name;

        ::raise(SIGUSR1); // the process survives every case
        EXPECT_EQ(callbackCalls.load(), 1) << c.name;
        EXPECT_EQ(earlierCalls.load(), c.earlierCallsExpected) << c.name;

        handler.resetHandlers();
        struct sigaction restored {};
        ::sigaction(SIGUSR1, nullptr, &restored);
        EXPECT_EQ(restored.sa_handler, earlier.sa_handler) << c.name << ": the earlier action is back";
    }
    signal(SIGUSR1, SIG_DFL);
}

} // namespace
} // namespace crashcapture::capture
