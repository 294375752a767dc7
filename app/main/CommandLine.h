#pragma once

#include <optional>

namespace app {

// What `zelvo` does with its command line before any Qt code runs:
//   --help, -h      usage on stdout, exit 0
//   --version, -V   "zelvo <version>" on stdout, exit 0
//   --show [--reverse]  hands the hot key to the running instance (it shows
//                   the panel or moves its highlight), exit 0; exit 1 when
//                   none runs. Starts nothing: compositors run it per key.
//   anything else   usage on stderr, exit 64
// With no arguments it chooses the display backend, and when none can run
// prints one line saying why and exits 1, before Qt would print its own
// platform-plugin abort text. Returns the exit status when the program must
// end now, nothing when it should start.
std::optional<int> handleCommandLine(int argc, char** argv);

} // namespace app
