#include "crashcapture/capture/SignalNames.h"

#include "crashcapture/capture/FixedText.h"

#include <csignal>
#include <cstring>

namespace crashcapture::capture {

namespace {

struct Name {
    int value;
    const char* name;
};

constexpr Name kSignals[] = {
    {SIGHUP, "SIGHUP"},       {SIGINT, "SIGINT"},   {SIGQUIT, "SIGQUIT"},   {SIGILL, "SIGILL"},
    {SIGTRAP, "SIGTRAP"},     {SIGABRT, "SIGABRT"}, {SIGBUS, "SIGBUS"},     {SIGFPE, "SIGFPE"},
    {SIGKILL, "SIGKILL"},     {SIGUSR1, "SIGUSR1"}, {SIGSEGV, "SIGSEGV"},   {SIGUSR2, "SIGUSR2"},
    {SIGPIPE, "SIGPIPE"},     {SIGALRM, "SIGALRM"}, {SIGTERM, "SIGTERM"},   {SIGCHLD, "SIGCHLD"},
    {SIGCONT, "SIGCONT"},     {SIGSTOP, "SIGSTOP"}, {SIGTSTP, "SIGTSTP"},   {SIGTTIN, "SIGTTIN"},
    {SIGTTOU, "SIGTTOU"},     {SIGURG, "SIGURG"},   {SIGXCPU, "SIGXCPU"},   {SIGXFSZ, "SIGXFSZ"},
    {SIGVTALRM, "SIGVTALRM"}, {SIGPROF, "SIGPROF"}, {SIGWINCH, "SIGWINCH"}, {SIGIO, "SIGIO"},
    {SIGPWR, "SIGPWR"},       {SIGSYS, "SIGSYS"},
#ifdef SIGSTKFLT
    {SIGSTKFLT, "SIGSTKFLT"},
#endif
};

// Codes any signal can carry: who sent it.
constexpr Name kSenderCodes[] = {
    {SI_USER, "SI_USER"},   {SI_KERNEL, "SI_KERNEL"},   {SI_QUEUE, "SI_QUEUE"}, {SI_TIMER, "SI_TIMER"},
    {SI_MESGQ, "SI_MESGQ"}, {SI_ASYNCIO, "SI_ASYNCIO"}, {SI_SIGIO, "SI_SIGIO"}, {SI_TKILL, "SI_TKILL"},
};

constexpr Name kIllCodes[] = {{ILL_ILLOPC, "ILL_ILLOPC"}, {ILL_ILLOPN, "ILL_ILLOPN"}, {ILL_ILLADR, "ILL_ILLADR"},
                              {ILL_ILLTRP, "ILL_ILLTRP"}, {ILL_PRVOPC, "ILL_PRVOPC"}, {ILL_PRVREG, "ILL_PRVREG"},
                              {ILL_COPROC, "ILL_COPROC"}, {ILL_BADSTK, "ILL_BADSTK"}};
constexpr Name kFpeCodes[] = {{FPE_INTDIV, "FPE_INTDIV"}, {FPE_INTOVF, "FPE_INTOVF"}, {FPE_FLTDIV, "FPE_FLTDIV"},
                              {FPE_FLTOVF, "FPE_FLTOVF"}, {FPE_FLTUND, "FPE_FLTUND"}, {FPE_FLTRES, "FPE_FLTRES"},
                              {FPE_FLTINV, "FPE_FLTINV"}, {FPE_FLTSUB, "FPE_FLTSUB"}};
constexpr Name kSegvCodes[] = {
    {SEGV_MAPERR, "SEGV_MAPERR"}, {SEGV_ACCERR, "SEGV_ACCERR"}, {3, "SEGV_BNDERR"}, {4, "SEGV_PKUERR"}};
constexpr Name kBusCodes[] = {{BUS_ADRALN, "BUS_ADRALN"},
                              {BUS_ADRERR, "BUS_ADRERR"},
                              {BUS_OBJERR, "BUS_OBJERR"},
                              {4, "BUS_MCEERR_AR"},
                              {5, "BUS_MCEERR_AO"}};
constexpr Name kTrapCodes[] = {
    {TRAP_BRKPT, "TRAP_BRKPT"}, {TRAP_TRACE, "TRAP_TRACE"}, {3, "TRAP_BRANCH"}, {4, "TRAP_HWBKPT"}};

template <std::size_t N> const char* find(const Name (&table)[N], int value) {
    for (const Name& entry : table)
        if (entry.value == value) return entry.name;
    return nullptr;
}

std::size_t copyName(const char* name, char* out) {
    std::size_t length = std::strlen(name);
    std::memcpy(out, name, length);
    return length;
}

std::size_t numbered(int value, char* out) {
    out[0] = '#';
    return 1 + formatInteger(value, out + 1);
}

} // namespace

std::size_t signalName(int signal, char* out) {
    const char* name = find(kSignals, signal);
    return name ? copyName(name, out) : numbered(signal, out);
}

std::size_t signalCodeName(int signal, int code, char* out) {
    const char* name = nullptr;
    // Codes above 0 are the kernel's reasons for a fault, specific to the signal.
    if (code > 0 && code != SI_KERNEL) {
        switch (signal) {
        case SIGILL: name = find(kIllCodes, code); break;
        case SIGFPE: name = find(kFpeCodes, code); break;
        case SIGSEGV: name = find(kSegvCodes, code); break;
        case SIGBUS: name = find(kBusCodes, code); break;
        case SIGTRAP: name = find(kTrapCodes, code); break;
        default: break;
        }
    } else {
        name = find(kSenderCodes, code);
    }
    return name ? copyName(name, out) : numbered(code, out);
}

} // namespace crashcapture::capture
