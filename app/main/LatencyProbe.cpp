#include "app/main/LatencyProbe.h"

#include <QCoreApplication>
#include <QEvent>

#include <cstdio>

namespace app::desktop {

LatencyProbe::LatencyProbe(Hotkeys::x11::X11HotKeyService& service) {
    service.setPressObserver([this](xcb_timestamp_t) {
        pressed_ = std::chrono::steady_clock::now();
        armed_ = true;
    });
    QCoreApplication::instance()->installEventFilter(this);
}

bool LatencyProbe::eventFilter(QObject*, QEvent* event) {
    if (armed_ && event->type() == QEvent::Paint) {
        armed_ = false;
        const auto elapsed = std::chrono::steady_clock::now() - pressed_;
        const double ms = std::chrono::duration<double, std::milli>(elapsed).count();
        std::fprintf(stderr, "zelvo: hot-key press to first paint: %.2f ms\n", ms);
    }
    return false;
}

} // namespace app::desktop
