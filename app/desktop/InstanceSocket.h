#pragma once

#include <string>

namespace app::desktop {

// The local socket on which the running Zelvo of one display session takes
// requests from later launches, in the user's runtime folder. Qt-free, so
// that `zelvo --show` reaches it without starting Qt.
std::string instanceSocketPath(const std::string& sessionName);

// The requests, one line each; the running instance answers kAnswer once it
// has taken one.
inline constexpr const char* kReopenRequest = "reopen\n";            // a second launch
inline constexpr const char* kShowRequest = "show\n";                // the hot key, handed over
inline constexpr const char* kShowReverseRequest = "show-reverse\n"; // the same, highlight backwards
inline constexpr const char* kAnswer = "ok\n";
// A request line longer than this is not ours.
inline constexpr int kMaxRequest = 64;

// Sends `request` to the running instance of the session the environment
// names (the Wayland one first, then the X11 display); true when one
// answered within `timeoutMilliseconds`.
bool sendToRunningInstance(const char* request, int timeoutMilliseconds = 1000);

} // namespace app::desktop
