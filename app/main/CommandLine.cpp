#include "app/main/CommandLine.h"

#include "app/desktop/InstanceSocket.h"
#include "platform/linux/backend/BackendChoice.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace app {

namespace {

constexpr int kExitUsage = 64; // EX_USAGE

constexpr const char* kUsage = R"(usage: zelvo [--help | --version | --show [--reverse]]

Zelvo is a keyboard application switcher. It lives in the tray; Alt+Tab (by
default) shows a panel of the running applications. Launching it again while
it runs shows the panel of the running instance.

It runs on X11 desktops (Xfce, MATE, Cinnamon, KDE Plasma on X11, openbox,
i3, ...) and on Wayland compositors that offer the wlr foreign-toplevel and
layer-shell protocols (sway, Hyprland, labwc, niri, wayfire, river). GNOME's
and KDE's Wayland sessions offer neither: log in to their X11 session.

Options:
  -h, --help       show this help and exit
  -V, --version    show the version and exit
  --show           ask the running Zelvo to show its panel, or to move the
                   highlight when it is up (bind the hot key to this on
                   Wayland, e.g. sway: bindsym Mod1+Tab exec zelvo --show)
  --show --reverse the same, moving the highlight backwards

Environment:
  WAYLAND_DISPLAY          the Wayland compositor to use, when it offers both protocols
  DISPLAY                  the X11 display to use otherwise
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

int handOverShow(bool reverse) {
    if (app::desktop::sendToRunningInstance(reverse ? app::desktop::kShowReverseRequest
                                                    : app::desktop::kShowRequest))
        return 0;
    std::fputs("zelvo: Zelvo is not running in this session; start it first\n", stderr);
    return 1;
}

} // namespace

std::optional<int> handleCommandLine(int argc, char** argv) {
    const std::string_view first = argc > 1 ? argv[1] : "";
    if (first == "--show" && (argc == 2 || (argc == 3 && std::string_view(argv[2]) == "--reverse")))
        return handOverShow(argc == 3);
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

    const auto& backend = platform::desktop::chosenBackend();
    if (!backend.kind) {
        std::fprintf(stderr, "zelvo: %s\n", backend.problem.c_str());
        return 1;
    }
    // Zelvo's ordinary windows go where its switcher runs: through Qt's
    // Wayland plugin on a compositor, on the X server otherwise (where Qt
    // would otherwise choose Wayland when both are there).
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const bool unset = !platform || !*platform;
    if (*backend.kind == platform::desktop::BackendKind::Wayland) {
        if (unset) ::setenv("QT_QPA_PLATFORM", "wayland", 1);
    } else if (unset || std::string_view(platform).starts_with("wayland")) {
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    }
    return std::nullopt;
}

} // namespace app
