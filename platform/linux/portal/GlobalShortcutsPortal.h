#pragma once

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform::portal {

// A shortcut as the portal binds it: an id of Zelvo's, what it does in the
// user's words, and the combination Zelvo would like ("ALT+Tab").
struct PortalShortcut {
    std::string id;
    std::string description;
    std::string preferredTrigger;
};

// Zelvo's session with the desktop portal's global shortcuts. Binding is
// asynchronous: the portal may ask the user first. The shortcuts last as long
// as the session, that is as long as Zelvo runs. Main thread only.
class GlobalShortcutsPortal : public QObject {
    Q_OBJECT
public:
    // Nothing when no portal on `bus` offers global shortcuts.
    static std::unique_ptr<GlobalShortcutsPortal> connect(const QDBusConnection& bus);
    ~GlobalShortcutsPortal() override;

    // Told the id of a bound shortcut each time it is pressed.
    void setActivatedHandler(std::function<void(const std::string& id)> handler) { activated_ = std::move(handler); }
    // Binds these shortcuts, replacing the session's earlier ones.
    void bind(std::vector<PortalShortcut> shortcuts);
    // Ends the session: the portal drops its shortcuts.
    void unbind();

private Q_SLOTS:
    void onResponse(uint response, const QVariantMap& results, const QDBusMessage& message);
    void onActivated(const QDBusObjectPath& session, const QString& id, qulonglong timestamp,
                     const QVariantMap& options);

private:
    explicit GlobalShortcutsPortal(const QDBusConnection& bus);
    // Calls a portal method whose answer comes as a Response signal on a
    // request object; `then` runs with the results of a successful one.
    void request(const QString& method, QVariantList arguments, std::function<void(const QVariantMap&)> then);
    void createSession();
    void sendBind();

    QDBusConnection bus_;
    QString session_;
    bool creating_ = false;
    std::vector<PortalShortcut> wanted_;
    std::function<void(const std::string&)> activated_;
    std::vector<std::pair<QString, std::function<void(const QVariantMap&)>>> pending_;
    int tokens_ = 0;
};

} // namespace platform::portal
