#include "platform/linux/backend/BackendChoice.h"

#include <gtest/gtest.h>

using namespace platform::desktop;

TEST(BackendChoice, PicksTheBackendOrSaysWhatIsMissing) {
    const std::string works =
        "; Zelvo needs an X11 session or a wlroots compositor (sway, Hyprland, labwc, niri, wayfire, river)";
    struct Case {
        const char* name;
        SessionFacts facts;
        std::optional<BackendKind> kind;
        std::string problem;
    };
    const Case cases[] = {
        {"sway", {"wayland-1", true, true, true, ":0", false, "sway"}, BackendKind::Wayland, ""},
        {"X11 only", {"", false, false, false, ":0", true, ""}, BackendKind::X11, ""},
        {"compositor gone, X11 there", {"wayland-9", false, false, false, ":0", true, ""}, BackendKind::X11, ""},
        // XWayland would show only the X11 programs: refused, naming the session.
        {"GNOME",
         {"wayland-0", true, false, false, ":0", true, "ubuntu:GNOME"},
         std::nullopt,
         "this GNOME Wayland session offers no window list or panel layer to other programs "
         "(zwlr_foreign_toplevel_manager_v1 and zwlr_layer_shell_v1 missing)" +
             works},
        {"KDE",
         {"wayland-0", true, false, true, "", false, "KDE"},
         std::nullopt,
         "this KDE Wayland session offers no window list or panel layer to other programs "
         "(zwlr_foreign_toplevel_manager_v1 missing)" +
             works},
        {"nothing set", {}, std::nullopt, "no display: neither WAYLAND_DISPLAY nor DISPLAY is set" + works},
        {"nothing answers",
         {"wayland-1", false, false, false, ":4711", false, ""},
         std::nullopt,
         "no display: cannot connect to the Wayland compositor \"wayland-1\" nor open the X11 display "
         "\":4711\"" +
             works},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto choice = decideBackend(c.facts);
        EXPECT_EQ(choice.kind, c.kind);
        EXPECT_EQ(choice.problem, c.problem);
    }
}
