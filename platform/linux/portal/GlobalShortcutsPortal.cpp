#include "platform/linux/portal/GlobalShortcutsPortal.h"

#include "platform/Log.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

#include <algorithm>

namespace platform::portal {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");
constexpr int kVersionTimeoutMilliseconds = 1000;

// One entry of the portal's a(sa{sv}) shortcut lists.
struct WireShortcut {
    QString id;
    QVariantMap options;
};

QDBusArgument& operator<<(QDBusArgument& argument, const WireShortcut& shortcut) {
    argument.beginStructure();
    argument << shortcut.id << shortcut.options;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, WireShortcut& shortcut) {
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.options;
    argument.endStructure();
    return argument;
}

QString pathText(const QVariant& value) {
    if (value.canConvert<QDBusObjectPath>()) return value.value<QDBusObjectPath>().path();
    return value.toString();
}

} // namespace

} // namespace platform::portal

Q_DECLARE_METATYPE(platform::portal::WireShortcut)

namespace platform::portal {

std::unique_ptr<GlobalShortcutsPortal> GlobalShortcutsPortal::connect(const QDBusConnection& bus) {
    if (!bus.isConnected()) return nullptr;
    auto get = QDBusMessage::createMethodCall(kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                              QStringLiteral("Get"));
    get << kInterface << QStringLiteral("version");
    const auto reply = QDBusConnection(bus).call(get, QDBus::Block, kVersionTimeoutMilliseconds);
    if (reply.type() != QDBusMessage::ReplyMessage) return nullptr;
    return std::unique_ptr<GlobalShortcutsPortal>(new GlobalShortcutsPortal(bus));
}

GlobalShortcutsPortal::GlobalShortcutsPortal(const QDBusConnection& bus) : bus_(bus) {
    qDBusRegisterMetaType<WireShortcut>();
    qDBusRegisterMetaType<QList<WireShortcut>>();
    // Every request's answer, whatever its object: matched to the request
    // by the object's path.
    bus_.connect(kService, QString(), kRequest, QStringLiteral("Response"), this,
                 SLOT(onResponse(uint, QVariantMap, QDBusMessage)));
    bus_.connect(kService, kPath, kInterface, QStringLiteral("Activated"), this,
                 SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
}

GlobalShortcutsPortal::~GlobalShortcutsPortal() { unbind(); }

void GlobalShortcutsPortal::request(const QString& method, QVariantList arguments,
                                    std::function<void(const QVariantMap&)> then) {
    // The request object's path is known before the call: its answer cannot
    // come before it is listened for.
    const QString token = QStringLiteral("zelvo%1").arg(++tokens_);
    QString sender = bus_.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString expected = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
    auto options = arguments.last().toMap();
    options.insert(QStringLiteral("handle_token"), token);
    arguments.last() = options;
    pending_.emplace_back(expected, std::move(then));

    auto call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    call.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, expected, method] {
        watcher->deleteLater();
        QDBusPendingReply<QDBusObjectPath> reply = *watcher;
        auto it = std::find_if(pending_.begin(), pending_.end(), [&](const auto& p) { return p.first == expected; });
        if (it == pending_.end()) return;
        if (reply.isError()) {
            logWarning("zelvo: the desktop portal refused " + method.toStdString() + ": " +
                       reply.error().message().toStdString());
            pending_.erase(it);
            if (method == QLatin1String("CreateSession")) creating_ = false;
            return;
        }
        // An older portal may choose another path.
        it->first = reply.value().path();
    });
}

void GlobalShortcutsPortal::onResponse(uint response, const QVariantMap& results, const QDBusMessage& message) {
    auto it = std::find_if(pending_.begin(), pending_.end(), [&](const auto& p) { return p.first == message.path(); });
    if (it == pending_.end()) return;
    auto then = std::move(it->second);
    pending_.erase(it);
    // 1: the user cancelled; 2: it failed otherwise.
    if (response != 0) {
        logWarning(response == 1 ? "zelvo: the global shortcut was declined in the desktop's dialog"
                                 : "zelvo: the desktop portal could not bind the global shortcut");
        creating_ = false;
        return;
    }
    then(results);
}

void GlobalShortcutsPortal::onActivated(const QDBusObjectPath& session, const QString& id, qulonglong,
                                        const QVariantMap&) {
    if (session.path() != session_ || !activated_) return;
    activated_(id.toStdString());
}

void GlobalShortcutsPortal::bind(std::vector<PortalShortcut> shortcuts) {
    wanted_ = std::move(shortcuts);
    // A session binds once: new shortcuts get a new session.
    if (!session_.isEmpty()) unbind();
    createSession();
}

void GlobalShortcutsPortal::createSession() {
    if (creating_) return;
    creating_ = true;
    QVariantMap options{{QStringLiteral("session_handle_token"), QStringLiteral("zelvo%1").arg(++tokens_)}};
    request(QStringLiteral("CreateSession"), {options}, [this](const QVariantMap& results) {
        creating_ = false;
        session_ = pathText(results.value(QStringLiteral("session_handle")));
        if (session_.isEmpty()) {
            logWarning("zelvo: the desktop portal gave no shortcuts session");
            return;
        }
        sendBind();
    });
}

void GlobalShortcutsPortal::sendBind() {
    QList<WireShortcut> wire;
    for (const auto& s : wanted_) {
        QVariantMap options{{QStringLiteral("description"), QString::fromStdString(s.description)}};
        if (!s.preferredTrigger.empty())
            options.insert(QStringLiteral("preferred_trigger"), QString::fromStdString(s.preferredTrigger));
        wire.append({QString::fromStdString(s.id), options});
    }
    QVariantList arguments{QVariant::fromValue(QDBusObjectPath(session_)), QVariant::fromValue(wire), QString(),
                           QVariantMap()};
    request(QStringLiteral("BindShortcuts"), arguments, [this](const QVariantMap& results) {
        // What the portal chose, for the log.
        QList<WireShortcut> shortcuts;
        if (auto value = results.value(QStringLiteral("shortcuts")); value.canConvert<QDBusArgument>())
            value.value<QDBusArgument>() >> shortcuts;
        for (const auto& s : shortcuts) {
            const auto trigger = s.options.value(QStringLiteral("trigger_description")).toString().toStdString();
            logInfo("zelvo: the desktop portal bound " + s.id.toStdString() + (trigger.empty() ? "" : " to " + trigger));
        }
    });
}

void GlobalShortcutsPortal::unbind() {
    if (session_.isEmpty()) return;
    bus_.call(QDBusMessage::createMethodCall(kService, session_, QStringLiteral("org.freedesktop.portal.Session"),
                                             QStringLiteral("Close")),
              QDBus::NoBlock);
    session_.clear();
}

} // namespace platform::portal
