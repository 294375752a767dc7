#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace zelvo::e2e {

// The window managers the end-to-end tests run under.
enum class WindowManager { Openbox, Xfwm4, I3, Fluxbox };

// Its program name ("xfwm4"), as test names show it.
std::string programName(WindowManager wm);
// Test output (and ctest's names) print it by its program name.
inline void PrintTo(WindowManager wm, std::ostream* out) { *out << programName(wm); }
// The name it gives itself: _NET_WM_NAME of its EWMH check window.
std::string ewmhName(WindowManager wm);
// Whether its settings as shipped bind Alt+Tab.
bool stockBindsAltTab(WindowManager wm);
// Whether it reads its settings over the session bus (xfwm4 from xfconfd).
bool needsSessionBus(WindowManager wm);

// Writes the settings `wm` starts with into the session's home and returns
// the command that starts it. With `keepAltTab` the settings are the stock
// ones; without, the stock ones less their Alt+Tab bindings, except for
// openbox, which then runs the tests' configuration without any key
// bindings at all.
std::vector<std::string> prepareWindowManager(WindowManager wm, bool keepAltTab, const std::filesystem::path& home);

// The command that prints `wm`'s key settings as they are now (its keys
// file, or xfwm4's xfconf properties).
std::vector<std::string> keySettingsCommand(WindowManager wm, const std::filesystem::path& home);

// Whether some client of `display` holds a passive grab of Alt+Tab.
bool altTabGrabbed(const std::string& display);

} // namespace zelvo::e2e
