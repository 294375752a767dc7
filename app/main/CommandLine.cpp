#include "app/main/CommandLine.h"

#include "platform/linux/x11/X11Connection.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace app {

namespace {

constexpr int kExitUsage = 64; // EX_USAGE

constexpr const char* kUsage = R"(usage: zelvo [--help | --version]

Zelvo is a keyboard application switcher for the X11 desktop. It lives in the
tray; Alt+Tab (by default) shows a panel of the running applications.
Launching it again while it runs shows the panel of the running instance.

Options:
  -h, --help       show this help and exit
  -V, --version    show the version and exit

Environment:
  DISPLAY                  the X11 display to use (required)
  XDG_CONFIG_HOME          preferences under zelvo/ (default ~/.config)
  XDG_DATA_HOME            telemetry data and key store under zelvo/ (default ~/.local/share)
  XDG_CACHE_HOME           crash reports (default ~/.cache)
  ZELVO_APP_SECRET         telemetry app secret
  ZELVO_WEBSITE_URL        the maker's web site ("More Apps")
  ZELVO_CONTACT_URL        contact page ("Feedback/Contact Us")
  ZELVO_BETA_FORM_URL      beta-subscription form
  ZELVO_APPCAST_URL        update feed
  ZELVO_LOG_URL            log ingestion origin
  ZELVO_COLLECTOR_URL      collector ingestion origin
  ZELVO_EXTRA_CA_FILE      an extra trusted CA bundle
  ZELVO_DEBUG_STATE_FILE   write a JSON snapshot of what Zelvo shows to this file
The ZELVO_*_URL values and the app secret may also be set in
$XDG_CONFIG_HOME/zelvo/deployment.json; the variables win.
)";

// The reason no X11 display can be used, or nothing.
std::optional<std::string> displayProblem() {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) return "DISPLAY is not set";
    if (!platform::x11::X11Connection::open(display)) return "cannot open display \"" + std::string(display) + "\"";
    return std::nullopt;
}

} // namespace

std::optional<int> handleCommandLine(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "-h" || argument == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (argument == "-V" || argument == "--version") {
            std::printf("zelvo %s\n", ZELVO_VERSION);
            return 0;
        }
        if (argument.starts_with("-")) std::fprintf(stderr, "zelvo: unknown option %s\n", argv[i]);
        else std::fprintf(stderr, "zelvo: unexpected argument %s\n", argv[i]);
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }

    if (auto problem = displayProblem()) {
        std::fprintf(stderr, "zelvo: no X11 display; Zelvo needs an X11 session (%s)\n", problem->c_str());
        return 1;
    }
    // Zelvo's windows, key grabs and window list all live on the X server;
    // in a Wayland session Qt would otherwise put its windows elsewhere.
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (!platform || !*platform || std::string_view(platform).starts_with("wayland"))
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    return std::nullopt;
}

} // namespace app
