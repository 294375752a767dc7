#pragma once

#include <QAbstractNativeEventFilter>
#include <QTimer>

#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>

namespace app::desktop {

// A hot key tapped quickly (Alt+Tab and Alt let go at once) can have its
// modifiers released before the switcher panel took the keyboard: that
// release went to the application in front, and the panel would wait for it
// forever. Once the panel's keyboard grab after a press has taken hold (the
// server reports it as a focus change of mode Grab; the grab may succeed only
// on a retry), the modifiers the server reports as held are compared with
// those of the press; each one let go meanwhile is handed to the window
// holding the keyboard as the key release it missed, so the release handling
// runs as usual.
class MissedModifierReleases : public QAbstractNativeEventFilter {
public:
    // Installs itself as a native event filter of the running application.
    MissedModifierReleases(xcb_connection_t* connection, xcb_window_t root);
    ~MissedModifierReleases() override;
    // A hot-key press was handled with these X modifiers held.
    void pressed(std::uint16_t modifiers);

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void check();

    xcb_connection_t* connection_;
    xcb_window_t root_;
    std::uint16_t atPress_ = 0;
    // A press waits for the grab that follows it.
    bool awaitingGrab_ = false;
    std::chrono::steady_clock::time_point pressedAt_;
    QTimer check_;
};

} // namespace app::desktop
