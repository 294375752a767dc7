#pragma once

#include "app/core/AppDelegate.h"
#include "app/main/FirstPaintLog.h"

#include <QString>

namespace app::desktop {

// A JSON snapshot of what the switcher shows, written (atomically) to the
// file named by ZELVO_DEBUG_STATE_FILE after every change: for end-to-end
// tests and for diagnosing a running instance.
class DebugState {
public:
    // Nothing is written when the variable is unset.
    explicit DebugState(AppDelegate& delegate);

    bool enabled() const { return !path_.isEmpty(); }
    void recordFirstPaint(double milliseconds);
    // Writes on the next turn of the event loop (changes come in bursts).
    void changed();
    void writeNow();

private:
    AppDelegate& delegate_;
    QString path_;
    bool pending_ = false;
    FirstPaintLog firstPaints_;
};

} // namespace app::desktop
