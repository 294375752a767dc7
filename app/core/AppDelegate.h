#pragma once

#include "app/core/AppList.h"
#include "app/core/ApplicationShell.h"
#include "app/core/HotkeyBinding.h"
#include "app/core/PanelWindow.h"
#include "app/core/Preferences.h"
#include "app/core/StatusMenu.h"
#include "app/core/Telemetry.h"
#include "app/core/UpdateChecker.h"
#include "app/core/ViewFactory.h"

#include "platform/Deployment.h"
#include "platform/Event.h"
#include "platform/EventMonitors.h"
#include "platform/NotificationCenter.h"
#include "platform/Scheduler.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"

#include <memory>
#include <optional>
#include <string>

namespace app {

// Everything the delegate talks to. References must outlive the delegate.
struct AppServices {
    platform::Scheduler& scheduler;
    platform::Workspace& workspace;
    platform::NotificationCenter& notificationCenter; // the default centre
    platform::UserDefaults& defaults;
    platform::LocalEventSource& eventSource;
    platform::Deployment deployment;
    // Zelvo's own application id (its desktop id, "zelvo"); never listed.
    std::optional<std::string> bundleIdentifier;
    ApplicationShell& shell;
    PanelFactory& panels;
    ViewFactory& views;
    StatusBar& statusBar;
    HotkeyBinding& hotkeys;
    TelemetryStarter* telemetry = nullptr; // none: no telemetry
    UpdateChecker* updater = nullptr;      // none: update checks do nothing
};

// The switcher's application delegate: wires everything at launch, owns the
// switcher and settings panels, and interprets every key that reaches the
// switcher panel. Main thread only.
class AppDelegate : public StatusMenuTarget, public CrashReportDelegate {
public:
    explicit AppDelegate(AppServices services);
    ~AppDelegate() override;
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    // Platform entry points.
    void applicationDidFinishLaunching();
    // The user opened Zelvo again while it runs: shows the switcher panel.
    bool applicationShouldHandleReopen(bool hasVisibleWindows);

    // Menu and view actions.
    void showPanel();
    void openAbout();
    void moreApps();
    void openSettings();
    void closeSettings();
    void checkForUpdates();
    void checkForUpdatesInBackground();
    void sendFeedback();
    void SubscribeToBetaUpdates();
    void quit();

    // StatusMenuTarget.
    bool validateMenuItem(MenuItem& item) override;
    void performMenuAction(MenuAction action) override;
    // CrashReportDelegate: every crash report is processed.
    bool shouldProcessErrorReport() override { return true; }

    // The two local event monitors (installed at launch). Nothing swallows
    // the event.
    std::optional<platform::Event> handleKeyDown(const platform::Event& event);
    std::optional<platform::Event> handleFlagsChanged(const platform::Event& event);

    // Panels.
    PanelWindowPtr createPanel();
    // Shows `panel`, or moves the highlight down when it is already up. With
    // takeKeyboard the panel takes the keys (a switch starts; a pinned panel
    // left on screen takes them now); without, it is only shown.
    void presentPanel(const PanelWindowPtr& panel, bool takeKeyboard = true);
    // From the hot key (or the menu) until the switch, Escape or hiding: the
    // switcher panel is up and takes the keyboard.
    bool switchInProgress() const;
    void resizePanelToFit();
    void openSettingsPanel();
    void closeSettingsPanel();

    AppList& appList() { return appList_; }
    platform::UserDefaults& defaults() { return services_.defaults; }
    const PanelWindowPtr& panelWindow() const { return panelWindow_; }
    const PanelWindowPtr& settingsPanel() const { return settingsPanel_; }
    const std::shared_ptr<HostingView>& hostingView() const { return hostingView_; }
    const StatusMenu& statusMenu() const { return statusMenu_; }

    // The status menu as built at launch.
    static StatusMenu makeStatusMenu();

private:
    void presentSwitcherPanel(bool takeKeyboard = true);
    // A switch is over: an unpinned panel hides, a pinned one stays up and
    // gives the keyboard back.
    void endSwitch();
    void reshowIfPinned();
    void selectDigit(const platform::Event& event);
    // Ctrl+W, Ctrl+Q, Ctrl+M on the highlighted application; true when the
    // key was one of them.
    bool handleApplicationAction(const platform::Event& event);
    // The letter a key adds to the filter, if it adds one.
    std::optional<std::string> filterLetter(const platform::Event& event);
    std::uint64_t hotKeyModifiers();
    // The key event is the stored "showFloatingPanel" hot key.
    bool isHotKey(const platform::Event& event);
    void applyPinned(bool pinned);
    bool isPinned() const;
    void openWebPage(const std::string& url);
    void startTelemetry();
    void after(double seconds, std::function<void()> task);
    void async(std::function<void()> task);

    AppServices services_;
    PanelWindowPtr panelWindow_;
    PanelWindowPtr settingsPanel_;
    std::shared_ptr<HostingView> hostingView_;
    AppList appList_;
    std::shared_ptr<platform::Timer> updateTimer_;
    StatusMenu statusMenu_;

    // Digits pressed whose delayed activation has not run yet.
    int pendingDigitActivations_ = 0;
    std::vector<platform::LocalEventSource::MonitorId> monitors_;
    platform::Subscription resizeSubscription_;
    std::optional<platform::UserDefaults::ObservationId> pinObservation_;
    // Delayed work holds this weakly and does nothing once the delegate is gone.
    std::shared_ptr<AppDelegate*> alive_;
};

} // namespace app
