#include "Hotkeys/qt/QtMenuTracker.h"

#include "Hotkeys/core/Services.h"
#include "platform/NotificationCenter.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMenu>

namespace Hotkeys {

QtMenuTracker::QtMenuTracker(platform::NotificationCenter& center) : center_(center) {
    if (auto* app = QCoreApplication::instance()) app->installEventFilter(this);
}

QtMenuTracker::~QtMenuTracker() {
    if (auto* app = QCoreApplication::instance()) app->removeEventFilter(this);
    if (!open_.isEmpty()) center_.post(MenuDidEndTrackingNotification);
}

bool QtMenuTracker::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show) {
        if (auto* menu = qobject_cast<QMenu*>(watched)) opened(menu);
    } else if (event->type() == QEvent::Hide) {
        if (open_.contains(watched)) closed(watched);
    }
    return false;
}

void QtMenuTracker::opened(QMenu* menu) {
    if (open_.contains(menu)) return;
    const bool first = open_.isEmpty();
    open_.insert(menu);
    // A menu destroyed while open (no Hide) must not keep tracking on.
    connect(menu, &QObject::destroyed, this, [this](QObject* gone) {
        if (open_.contains(gone)) closed(gone);
    });
    if (first) center_.post(MenuDidBeginTrackingNotification);
}

void QtMenuTracker::closed(QObject* menu) {
    open_.remove(menu);
    disconnect(menu, &QObject::destroyed, this, nullptr);
    if (open_.isEmpty()) center_.post(MenuDidEndTrackingNotification);
}

} // namespace Hotkeys
