#pragma once

#include <QEvent>
#include <QPoint>

class QMenu;

namespace app::desktop {

// Sent to a view's window before a menu pops up. A window that cannot host
// toolkit popups (a panel drawn into a surface of its own) accepts it and
// shows the menu itself; otherwise the sender pops the menu up as usual.
class MenuRequest : public QEvent {
public:
    // `anchor`: where the menu's top-right corner goes, in the window's
    // coordinates.
    MenuRequest(QMenu* menu, QPoint anchor) : QEvent(type()), menu_(menu), anchor_(anchor) { setAccepted(false); }

    static QEvent::Type type() {
        static const auto registered = QEvent::Type(QEvent::registerEventType());
        return registered;
    }
    QMenu* menu() const { return menu_; }
    QPoint anchor() const { return anchor_; }

private:
    QMenu* menu_;
    QPoint anchor_;
};

} // namespace app::desktop
