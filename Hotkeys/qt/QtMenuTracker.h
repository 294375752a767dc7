#pragma once

#include <QObject>
#include <QPointer>
#include <QSet>

class QMenu;

namespace platform {
class NotificationCenter;
}

namespace Hotkeys {

// Announces when the application starts and stops tracking menus: the
// first of its menus to open posts MenuDidBeginTrackingNotification, the
// last to close MenuDidEndTrackingNotification (submenus open inside one
// tracking). Watches every QMenu through an application event filter.
class QtMenuTracker : public QObject {
public:
    explicit QtMenuTracker(platform::NotificationCenter& center);
    ~QtMenuTracker() override;
    bool tracking() const { return !open_.isEmpty(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void opened(QMenu* menu);
    void closed(QObject* menu);

    platform::NotificationCenter& center_;
    QSet<QObject*> open_;
};

} // namespace Hotkeys
