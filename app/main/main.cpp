// Zelvo's program entry: the Qt application, the single-instance hand-over,
// and the wiring of the platform services, the delegate and its desktop
// parts.

#include "app/core/AppDelegate.h"
#include "app/desktop/DispatchingApplication.h"
#include "app/desktop/FloatingPanel.h"
#include "app/desktop/QtApplicationShell.h"
#include "app/desktop/QtPanelFactory.h"
#include "app/desktop/SingleInstance.h"
#include "app/desktop/TrayStatusBar.h"
#include "app/hotkeys/HotkeysBinding.h"
#include "Hotkeys/core/Name.h"
#include "app/core/Preferences.h"
#include "app/main/ApplicationIcon.h"
#include "app/main/DebugState.h"
#include "app/settings/HotkeyStatusView.h"
#include "app/settings/SettingsViewFactory.h"
#include "app/telemetry/BeaconTelemetry.h"
#include "app/updates/AppcastUpdateChecker.h"
#include "app/updates/qt/QtUpdatePresenter.h"
#include "Hotkeys/recorder/Bundle.h"
#include "Hotkeys/recorder/RecorderField.h"
#include "Hotkeys/qt/QtMenuItem.h"
#include "beacon/crashes/hooks/ApplicationForwarder.h"
#include "beacon/util/ApplicationState.h"
#include "app/views/QtViewFactory.h"
#include "platform/ApplicationId.h"
#include "platform/Deployment.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/UserDefaults.h"
#include "platform/dispatch/ThreadScheduler.h"
#include "Hotkeys/linux/DesktopHotkeys.h"
#include "Hotkeys/linux/X11HotKeyService.h"
#include "app/desktop/MissedModifierReleases.h"
#include "app/desktop/TrayMessage.h"
#include "app/main/LatencyProbe.h"
#include "app/main/QuitSignals.h"
#include "platform/linux/qt/QtApplicationState.h"
#include "platform/linux/qt/QtEventSource.h"
#include "platform/linux/qt/QtMainQueue.h"
#include "platform/linux/backend/BackendChoice.h"
#include "platform/linux/portal/DesktopShortcutHost.h"
#include "platform/http/CurlTransport.h"

#include <QAbstractEventDispatcher>
#include <QJsonObject>
#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdlib>
#include <memory>

using namespace app;

// Run by the program `zelvo` once its command line says the switcher starts
// (the backend is chosen, Qt's platform set).
extern "C" __attribute__((visibility("default"))) int zelvoDesktopMain(int argc, char** argv) {
    desktop::DispatchingApplication qtApp(argc, argv);
    // Exceptions escaping an event handler reach crash reporting.
    desktop::DispatchingApplication::setDispatcher(beacon::ApplicationForwarder::sendEvent);
    QApplication::setApplicationName(QStringLiteral("Zelvo"));
    QApplication::setApplicationVersion(QStringLiteral(ZELVO_VERSION));
    QApplication::setDesktopFileName(QString::fromUtf8(platform::kApplicationId));
    QApplication::setWindowIcon(applicationIcon());
    // Zelvo lives in the tray: closing its last window does not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    // The command line chose the backend before Qt started.
    const auto backendKind = *platform::desktop::chosenBackend().kind;
    desktop::SingleInstance instance(
        desktop::SingleInstance::socketPathFor(platform::desktop::sessionName(backendKind)));
    if (instance.handOverToRunning()) return 0;

    auto backend = platform::desktop::openBackend(backendKind);
    if (!backend) {
        platform::logWarning("zelvo: the display went away while Zelvo started");
        return 1;
    }
    platform::Workspace* workspace = &backend->workspace();

    platform::ThreadScheduler scheduler(
        [](platform::TimerService& timers) { return std::make_unique<platform::qt::QtMainQueue>(timers); });
    // Changes are written on a queue of their own: the UI thread never waits for the disk.
    platform::UserDefaults defaults(platform::zelvoConfigDir() / "preferences.json",
                                    scheduler.makeSerialQueue("com.zelvo.preferences"));
    // The telemetry keeps its settings in the same store and works on the scheduler's queues.
    BeaconTelemetry telemetry(scheduler, std::shared_ptr<platform::UserDefaults>(&defaults, [](auto*) {}));
    TelemetrySwitch::setShared(&telemetry);
    platform::NotificationCenter defaultCenter;
    // Qt's application state reaches the telemetry (sessions, crash processing) through the default centre.
    beacon::ApplicationStateUtil::observe(&defaultCenter);
    platform::qt::QtApplicationState applicationState(defaultCenter);
    platform::qt::QtEventSource events;
    desktop::QtPanelFactory panels(defaults, scheduler.mainQueue());
    panels.setPanelSurface(backend->panelSurface(),
                           [&events](const platform::Event& event) { events.dispatch(event); });
    desktop::QtApplicationShell shell(panels);
    views::QtViewFactory viewFactory(defaults, defaultCenter, scheduler.mainQueue());
    desktop::TrayStatusBar statusBar;
    // Global hot keys: root-window grabs on Qt's X connection.
    auto hotkeyService = Hotkeys::x11::DesktopHotkeys::install(defaults, defaultCenter, scheduler);
    HotkeysBinding hotkeys(desktop::showTrayMessage);
    // The switcher's side of a press: modifiers let go before the panel took
    // the keyboard are handed to it; and, when asked for, the press-to-paint
    // time is logged.
    std::unique_ptr<desktop::MissedModifierReleases> missedReleases;
    std::unique_ptr<desktop::LatencyProbe> latencyProbe;
    if (auto* x11 = qtApp.nativeInterface<QNativeInterface::QX11Application>(); hotkeyService && x11) {
        xcb_connection_t* connection = x11->connection();
        missedReleases = std::make_unique<desktop::MissedModifierReleases>(
            connection, xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root);
        hotkeyService->service().setPressHandledObserver(
            [releases = missedReleases.get()](std::uint16_t modifiers) { releases->pressed(modifiers); });
        hotkeyService->service().addKeymapObserver([&events] { events.keymapChanged(); });
        if (std::getenv("ZELVO_HOTKEY_LATENCY"))
            latencyProbe = std::make_unique<desktop::LatencyProbe>(hotkeyService->service());
    }
    // The tray menu stands for the main menu: the recorder refuses a shortcut
    // one of its items already uses.
    std::unique_ptr<Hotkeys::QtMenu> trayMenu;
    Hotkeys::RecorderField::setMainMenuProvider([&]() -> const Hotkeys::Menu* {
        if (!statusBar.menu()) return nullptr;
        trayMenu = std::make_unique<Hotkeys::QtMenu>(statusBar.menu());
        return trayMenu.get();
    });

    // The recorder's texts ship beside the program; without them Zelvo stops here.
    Hotkeys::Bundle::module();
    const auto deployment = platform::Deployment::load();
    // The window manager or compositor, and what Zelvo can do about the hot key there.
    // Presses of the hot key that reach Zelvo without a grab of its own.
    std::function<void(desktop::SingleInstance::Request)> showRequested;
    auto desktopShortcuts =
        platform::portal::makeDesktopShortcuts(backend->shortcutHostFacts(), defaults, [&showRequested](bool reverse) {
            if (showRequested)
                showRequested(reverse ? desktop::SingleInstance::Request::ShowReverse
                                      : desktop::SingleInstance::Request::Show);
        });
    auto& shortcutHost = desktopShortcuts.host;
    SettingsViewFactory allViews(viewFactory, shell, *workspace, deployment, events, hotkeys, defaultCenter,
                                 shortcutHost.get());
    platform::http::CurlTransport updateTransport(platform::http::CurlTransportOptions::fromDeployment());
    QtUpdatePresenter updateDialogs([&workspace](const std::string& url) { return workspace->openURL(url); });
    AppcastUpdateChecker updater(updateTransport, scheduler, ZELVO_VERSION, updateDialogs);

    AppServices services{scheduler, *workspace, defaultCenter, defaults,  events, deployment, platform::kApplicationId,
                         shell,     panels,     allViews,      statusBar, hotkeys};
    services.updater = &updater;
    services.telemetry = &telemetry;
    AppDelegate delegate(services);
    // The session logging out (SIGTERM) or Ctrl+C quits as the menu's Quit does.
    desktop::QuitSignals quitSignals([&delegate] { delegate.quit(); });
    updateDialogs.holdWhile([&delegate] { return delegate.switchInProgress(); });

    desktop::DebugState debug(delegate);
    panels.setHooks({[&debug](double ms) { debug.recordFirstPaint(ms); }, [&debug] { debug.changed(); }});
    delegate.appList().addChangeObserver([&debug] { debug.changed(); });
    HotkeyStatusView::setChangeObserver([&debug] { debug.changed(); });
    debug.setHotkeyFacts([&] {
        return QJsonObject{{"available", hotkeys.isAvailable(kShowFloatingPanel)},
                           {"holder", QString::fromStdString(shortcutHost->name())},
                           {"takenOver", shortcutHost->takenOver().has_value()}};
    });
    // A compositor binding lasts for the compositor's session: made again at
    // each start and moved whenever the shortcut changes.
    auto renewBinding = [&] {
        if (auto stored = hotkeys.storedShortcut(kShowFloatingPanel))
            shortcutHost->renew({stored->keyCode, stored->carbonModifiers, stored->description});
        debug.changed();
    };
    platform::Subscription shortcutChanges(
        defaultCenter, defaultCenter.addObserver(Hotkeys::ShortcutByNameDidChangeNotification, nullptr,
                                                 [&](const platform::Notification&) { renewBinding(); }));

    // The backend reads its display connection on the main thread.
    QSocketNotifier displayEvents(backend->fileDescriptor(), QSocketNotifier::Read);
    QObject::connect(&displayEvents, &QSocketNotifier::activated, [&] { backend->processEvents(); });
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     [&] { backend->processQueuedEvents(); });

    // The switcher panel never holds the focus itself; it loses it when
    // another application becomes active.
    platform::Subscription focus(
        workspace->notificationCenter(),
        workspace->notificationCenter().addObserver(
            platform::kWorkspaceDidActivateApplication, nullptr, [&](const platform::Notification&) {
                auto* panel = dynamic_cast<desktop::FloatingPanel*>(delegate.panelWindow().get());
                // Closing or minimising the front window from the panel moves
                // the focus too: the panel stays for the user's next key.
                if (panel && panel->isVisible() && !delegate.appList().actedOnWindowsRecently()) panel->resignMain();
            }));

    // A second launch, the hot key handed over by `zelvo --show`, or pressed
    // through the desktop portal.
    showRequested = [&](desktop::SingleInstance::Request request) {
        auto* panel = delegate.panelWindow().get();
        const bool up = delegate.switchInProgress();
        if (auto* surface = backend->panelSurface(); surface && request != desktop::SingleInstance::Request::Reopen)
            surface->reportModifiersAtNextEnter();
        if (request == desktop::SingleInstance::Request::ShowReverse && up) {
            delegate.appList().selectPrevious();
            return;
        }
        delegate.applicationShouldHandleReopen(panel && panel->isVisible());
        if (request == desktop::SingleInstance::Request::ShowReverse) delegate.appList().selectPrevious();
    };
    if (!instance.listen(showRequested))
        platform::logWarning("zelvo: cannot listen for a second launch; it will start another instance");

    QTimer::singleShot(0, [&] {
        delegate.applicationDidFinishLaunching();
        renewBinding();
    });
    int rc = qtApp.exec();
    defaults.synchronize();
    Hotkeys::RecorderField::setMainMenuProvider(nullptr);
    HotkeyStatusView::setChangeObserver(nullptr);
    return rc;
}
