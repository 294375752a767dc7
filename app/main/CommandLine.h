#pragma once

#include <optional>

namespace app {

// What `zelvo` does with its command line before any Qt code runs:
//   --help, -h      usage on stdout, exit 0
//   --version, -V   "zelvo <version>" on stdout, exit 0
//   anything else   usage on stderr, exit 64
// With no arguments it checks that an X11 display can be opened, and when it
// cannot prints one line saying so and exits 1, before Qt would print its
// own platform-plugin abort text. Returns the exit status when the program
// must end now, nothing when it should start.
std::optional<int> handleCommandLine(int argc, char** argv);

} // namespace app
