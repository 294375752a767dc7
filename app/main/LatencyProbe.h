#pragma once

#include "Hotkeys/linux/X11HotKeyService.h"

#include <QObject>

#include <chrono>

namespace app::desktop {

// A measurement probe, on with ZELVO_HOTKEY_LATENCY: logs the time from each
// hot-key press (on receipt of the X event) to the next paint of one of
// Zelvo's windows.
class LatencyProbe : public QObject {
public:
    explicit LatencyProbe(Hotkeys::x11::X11HotKeyService& service);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::chrono::steady_clock::time_point pressed_;
    bool armed_ = false;
};

} // namespace app::desktop
