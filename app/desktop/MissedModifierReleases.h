#pragma once

#include <QTimer>

#include <xcb/xcb.h>

#include <cstdint>

namespace app::desktop {

// A hot key tapped quickly (Alt+Tab and Alt let go at once) can have its
// modifiers released before the switcher panel took the keyboard: that
// release went to the application in front, and the panel would wait for it
// forever. Once a press has been handled, the modifiers the server reports as
// held are compared with those of the press; each one let go meanwhile is
// handed to the window holding the keyboard as the key release it missed, so
// the release handling runs as usual.
class MissedModifierReleases {
public:
    MissedModifierReleases(xcb_connection_t* connection, xcb_window_t root);
    // A hot-key press was handled with these X modifiers held.
    void pressed(std::uint16_t modifiers);

private:
    void check();

    xcb_connection_t* connection_;
    xcb_window_t root_;
    std::uint16_t atPress_ = 0;
    QTimer check_;
};

} // namespace app::desktop
