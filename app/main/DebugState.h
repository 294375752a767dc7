#pragma once

#include "app/core/AppDelegate.h"
#include "app/main/FirstPaintLog.h"

#include <QJsonObject>
#include <QString>

#include <functional>

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
    // What the snapshot says of the hot key: whether it is in effect and
    // which program decides it.
    void setHotkeyFacts(std::function<QJsonObject()> facts) { hotkeyFacts_ = std::move(facts); }

private:
    std::function<QJsonObject()> hotkeyFacts_;
    AppDelegate& delegate_;
    QString path_;
    bool pending_ = false;
    FirstPaintLog firstPaints_;
};

} // namespace app::desktop
