#include "platform/linux/portal/PortalRecipe.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

#include <mutex>

#include <gtest/gtest.h>

using namespace platform::portal;

namespace {

const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");

QVariantMap mapOf(const QVariant& value) {
    return value.canConvert<QDBusArgument>() ? qdbus_cast<QVariantMap>(value.value<QDBusArgument>()) : value.toMap();
}

// A desktop portal on a private bus that grants every request and records
// what it was asked. It answers on a thread of its own, as a portal in
// another process would while Zelvo waits for it.
class FakePortal : public QDBusVirtualObject {
public:
    explicit FakePortal(QDBusConnection bus) : bus_(bus) {
        thread_.start();
        moveToThread(&thread_);
    }
    ~FakePortal() override {
        thread_.quit();
        thread_.wait();
    }
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection&) override {
        std::lock_guard lock(mutex);
        const auto args = message.arguments();
        const QString member = message.member();
        if (member == QLatin1String("Get")) return reply(message, {QVariant::fromValue(QDBusVariant(1u))});
        if (member == QLatin1String("Close")) {
            closed << message.path();
            return reply(message, {});
        }
        const QString request = kPath + QStringLiteral("/request/") + message.service().mid(1).replace('.', '_') +
                                QLatin1Char('/') + mapOf(args.last()).value(QStringLiteral("handle_token")).toString();
        reply(message, {QVariant::fromValue(QDBusObjectPath(request))});
        QVariantMap results;
        if (member == QLatin1String("CreateSession")) {
            session = kPath + QStringLiteral("/session/") + message.service().mid(1).replace('.', '_') +
                      QLatin1Char('/') + mapOf(args[0]).value(QStringLiteral("session_handle_token")).toString();
            results.insert(QStringLiteral("session_handle"), session);
        } else if (member == QLatin1String("BindShortcuts")) {
            bindCalls.emplace_back();
            const auto list = args[1].value<QDBusArgument>();
            list.beginArray();
            while (!list.atEnd()) {
                QString id;
                QVariantMap options;
                list.beginStructure();
                list >> id >> options;
                list.endStructure();
                bindCalls.back().emplace_back(
                    id.toStdString(), options.value(QStringLiteral("preferred_trigger")).toString().toStdString());
            }
            list.endArray();
        }
        auto response = QDBusMessage::createSignal(request, QStringLiteral("org.freedesktop.portal.Request"),
                                                   QStringLiteral("Response"));
        response << uint(0) << results;
        bus_.send(response);
        return true;
    }
    template <typename F> auto read(F f) {
        std::lock_guard lock(mutex);
        return f();
    }
    void activate(const QString& sessionPath, const QString& id) {
        auto signal = QDBusMessage::createSignal(kPath, QStringLiteral("org.freedesktop.portal.GlobalShortcuts"),
                                                 QStringLiteral("Activated"));
        signal << QVariant::fromValue(QDBusObjectPath(sessionPath)) << id << qulonglong(1) << QVariantMap();
        bus_.send(signal);
    }

    QString session;
    std::vector<std::vector<std::pair<std::string, std::string>>> bindCalls;
    QStringList closed;
    std::mutex mutex;

private:
    bool reply(const QDBusMessage& message, const QVariantList& values) {
        auto answer = message.createReply(values);
        bus_.send(answer);
        return true;
    }
    QDBusConnection bus_;
    QThread thread_;
};

class PortalTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "portal-test", *argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
        daemon_ = new QProcess;
        daemon_->start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
        ASSERT_TRUE(daemon_->waitForReadyRead(10000)) << "no dbus-daemon";
        address_ = QString::fromUtf8(daemon_->readLine()).trimmed();
    }
    static void TearDownTestSuite() {
        daemon_->kill();
        daemon_->waitForFinished();
        delete daemon_;
    }
    QDBusConnection connectAs(const QString& name) { return QDBusConnection::connectToBus(address_, name); }
    // Runs the event loop until `done`, for at most ten seconds.
    static bool until(const std::function<bool()>& done) {
        QDeadlineTimer deadline(10000);
        while (!done() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return done();
    }

    static inline QProcess* daemon_ = nullptr;
    static inline QString address_;
};

} // namespace

TEST_F(PortalTest, WithoutAPortalThereIsNothingToBindWith) {
    EXPECT_EQ(GlobalShortcutsPortal::connect(connectAs("no-portal")), nullptr);
    EXPECT_EQ(GlobalShortcutsPortal::connect(QDBusConnection(QStringLiteral("never-connected"))), nullptr);
}

TEST_F(PortalTest, TheHotKeyAndItsReverseAreBoundActivatedAndGivenBack) {
    auto server = connectAs("portal-side");
    ASSERT_TRUE(server.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
    FakePortal fake(server);
    ASSERT_TRUE(server.registerVirtualObject(kPath, &fake, QDBusConnection::SubPath));

    auto portal = GlobalShortcutsPortal::connect(connectAs("zelvo-side"));
    ASSERT_TRUE(portal);
    std::vector<std::string> pressed;
    portal->setActivatedHandler([&](const std::string& id) { pressed.push_back(id); });
    PortalRecipe recipe(*portal);
    EXPECT_TRUE(recipe.sessionOnly());
    ASSERT_EQ(recipe.takeOver({48, 0x800, "Alt+Tab"}).error, "");
    ASSERT_TRUE(until([&] { return fake.read([&] { return !fake.bindCalls.empty(); }); }));
    EXPECT_EQ(
        fake.read([&] { return fake.bindCalls[0]; }),
        (std::vector<std::pair<std::string, std::string>>{{"show", "ALT+Tab"}, {"show-reverse", "ALT+SHIFT+Tab"}}));

    // Presses in Zelvo's session count; another session's do not.
    fake.activate(QStringLiteral("/org/freedesktop/portal/desktop/session/other/x"), "show");
    fake.activate(fake.read([&] { return fake.session; }), "show-reverse");
    ASSERT_TRUE(until([&] { return !pressed.empty(); }));
    EXPECT_EQ(pressed, std::vector<std::string>{"show-reverse"});

    // Another combination binds in a new session; giving back closes it.
    const QString first = fake.read([&] { return fake.session; });
    recipe.takeOver({48, 0x100 | 0x200, "Super+Shift+Tab"});
    ASSERT_TRUE(until([&] { return fake.read([&] { return fake.bindCalls.size() == 2; }); }));
    EXPECT_EQ(fake.read([&] { return fake.bindCalls[1]; }),
              (std::vector<std::pair<std::string, std::string>>{{"show", "LOGO+SHIFT+Tab"}}));
    EXPECT_TRUE(until([&] { return fake.read([&] { return fake.closed.contains(first); }); }));
    recipe.giveBack({}, {});
    EXPECT_TRUE(until([&] { return fake.read([&] { return fake.closed.contains(fake.session); }); }));
}
