#pragma once

#include <cstddef>

namespace crashcapture::capture {

// The name of a signal ("SIGSEGV") and of a signal's code ("SEGV_MAPERR",
// "SI_USER", ...) written into `out` (at least 32 bytes); "#<number>" when
// there is no name. Async-signal-safe. Returns the length.
std::size_t signalName(int signal, char* out);
std::size_t signalCodeName(int signal, int code, char* out);

} // namespace crashcapture::capture
