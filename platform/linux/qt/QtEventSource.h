#pragma once

#include "platform/EventMonitors.h"

#include <QObject>

#include <map>
#include <memory>

class QKeyEvent;
class QMouseEvent;

namespace platform::qt {

class KeySymbols;
class ModifierKeys;

// Local event monitors over Qt: an application-wide event filter that turns
// the key and mouse events delivered to Zelvo's windows into platform events
// (Carbon key codes, platform modifier flags; a modifier key's press or
// release becomes a flags-changed event) and lets the monitors see, rewrite or
// swallow them before the widgets do.
class QtEventSource : public QObject, public LocalEventSource {
public:
    // Installs itself on the running QCoreApplication.
    QtEventSource();
    ~QtEventSource() override;

    MonitorId addLocalMonitor(unsigned mask, Handler handler) override;
    void removeMonitor(MonitorId id) override;

    // The platform event for a Qt key event, or nothing for keys without a
    // Carbon code. Exposed for tests.
    std::optional<Event> translate(const QKeyEvent& event) const;
    // The X keymap changed: characters are read from the new one.
    void keymapChanged();
    // Hands an event that arrived outside Qt (the keys of a panel surface of
    // the display system's own) to the monitors; nothing when one
    // swallowed it.
    std::optional<Event> dispatch(const Event& event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::optional<Event> translateMouse(const QMouseEvent& event, const QObject* window) const;

    struct Monitor {
        unsigned mask;
        std::shared_ptr<Handler> handler;
    };
    std::map<MonitorId, Monitor> monitors_;
    MonitorId next_ = 1;
    std::unique_ptr<KeySymbols> symbols_;
    std::unique_ptr<ModifierKeys> modifiers_;
};

} // namespace platform::qt
