#pragma once

// Headless stand-ins for everything AppDelegate needs beyond the platform
// core, so the whole delegate runs in tests without a display.

#include "app/core/ApplicationShell.h"
#include "app/core/HotkeyBinding.h"
#include "app/core/PanelWindow.h"
#include "app/core/StatusMenu.h"
#include "app/core/Telemetry.h"
#include "app/core/UpdateChecker.h"
#include "app/core/ViewFactory.h"

#include <functional>
#include <map>
#include <set>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace app::testing {

// A view whose fitting size a test chooses (or computes on demand).
class HeadlessHostingView : public HostingView {
public:
    explicit HeadlessHostingView(std::function<Size()> size) : size_(std::move(size)) {}
    Size fittingSize() override { return size_(); }
    void layoutIfNeeded() override { ++layouts; }
    int layouts = 0;

private:
    std::function<Size()> size_;
};

// A window that only records what was asked of it.
class HeadlessPanel : public PanelWindow {
public:
    explicit HeadlessPanel(bool floating, FloatingPanelOptions options = {})
        : options(options), closeOnLostFocus(options.closeOnLostFocus),
          restoreWindowPosition(options.restoreWindowPosition), contentSize{options.contentRect.width,
                                                                            options.contentRect.height},
          floating_(floating) {}

    bool isVisible() const override { return visible; }
    void orderOut() override {
        visible = false;
        key = false;
        ++orderOuts;
    }
    void makeKeyAndOrderFront() override {
        visible = true;
        key = true;
        ++ordersFront;
    }
    void orderFront() override {
        visible = true;
        ++ordersFront;
    }
    void makeKey() override { key = visible; }
    void resignKey() override { key = false; }
    bool isKeyWindow() const override { return key; }
    void setContentSize(Size size) override { contentSize = size; }
    void setContentView(std::shared_ptr<HostingView> view) override {
        content = std::move(view);
        ++contentViewsSet;
    }
    bool isFloatingPanel() const override { return floating_; }
    void setCloseOnLostFocus(bool value) override { closeOnLostFocus = value; }
    void setRestoreWindowPosition(bool value) override { restoreWindowPosition = value; }

    // Loss of focus as the desktop panel handles it.
    void loseFocus() {
        if (closeOnLostFocus) visible = key = false;
    }

    FloatingPanelOptions options;
    bool visible = false;
    bool key = false; // takes the keyboard
    int orderOuts = 0;
    int ordersFront = 0;
    int contentViewsSet = 0;
    bool closeOnLostFocus;
    bool restoreWindowPosition;
    Size contentSize;
    std::shared_ptr<HostingView> content;

private:
    bool floating_;
};

class HeadlessPanelFactory : public PanelFactory {
public:
    PanelWindowPtr makeWindow() override;
    PanelWindowPtr makeFloatingPanel(const FloatingPanelOptions& options) override;
    std::vector<std::shared_ptr<HeadlessPanel>> made;
};

// The switcher view measures rowHeight per listed application and
// switcherWidth across; the settings view is 600 by 600.
class HeadlessViewFactory : public ViewFactory {
public:
    std::shared_ptr<HostingView> makeSwitcherView(AppDelegate& delegate, AppList& list,
                                                  const SwitcherViewOptions& options) override;
    std::shared_ptr<HostingView> makeSettingsView(AppDelegate& delegate) override;

    double switcherWidth = 150;
    double rowHeight = 40;
    std::optional<SwitcherViewOptions> switcherOptions;
    std::vector<std::shared_ptr<HeadlessHostingView>> settingsViews;
    bool makeNoSwitcherView = false; // true: makeSwitcherView returns nothing
};

class HeadlessShell : public ApplicationShell {
public:
    void setActivationPolicy(platform::ActivationPolicy p) override { policies.push_back(p); }
    void activateIgnoringOtherApps() override { ++activations; }
    void orderFrontStandardAboutPanel() override { ++aboutPanels; }
    void terminate() override { ++terminations; }
    void beep() override { ++beeps; }

    std::vector<platform::ActivationPolicy> policies;
    int activations = 0;
    int aboutPanels = 0;
    int terminations = 0;
    int beeps = 0;
};

class HeadlessStatusBar : public StatusBar {
public:
    void createStatusItem(const std::string& imageName, bool templateImage, const StatusMenu& menu,
                          StatusMenuTarget& target) override;
    // Opens the menu: validates a copy of every item, as the desktop does.
    std::vector<MenuItem> open();
    // Chooses the first item with this title.
    bool choose(const std::string& title);

    int itemsCreated = 0;
    std::string imageName;
    bool templateImage = false;
    StatusMenu menu;
    StatusMenuTarget* target = nullptr;
    std::vector<bool> enabled; // of the last open()
};

// Named hot keys in memory. A name's shortcut is its default until a test
// stores another one or clears it.
class HeadlessHotkeys : public HotkeyBinding {
public:
    void addKeyDownHandler(const std::string& name, std::optional<HotkeyShortcut> defaultShortcut,
                           std::function<void()> handler) override;
    std::optional<StoredShortcut> storedShortcut(const std::string& name) override;
    bool isAvailable(const std::string& name) override { return !held.count(name); }

    // Presses the name's hot key: runs its handlers. False when none.
    bool press(const std::string& name);
    void store(const std::string& name, std::optional<HotkeyShortcut> shortcut);

    // Carbon modifier bits to event modifier flags, and a short text form
    // ("⌥⇥" for Option+Tab; other keys as "#<code>").
    static std::uint64_t eventModifiers(std::uint32_t carbonModifiers);
    static std::string describe(const HotkeyShortcut& shortcut);

    std::map<std::string, std::optional<HotkeyShortcut>> defaults;
    std::map<std::string, std::optional<HotkeyShortcut>> stored;
    std::map<std::string, std::vector<std::function<void()>>> handlers;
    std::set<std::string> held; // names whose shortcut another program holds
};

class HeadlessTelemetry : public TelemetryStarter {
public:
    void start(const std::string& appSecret, CrashReportDelegate& crashDelegate) override {
        secrets.push_back(appSecret);
        delegate = &crashDelegate;
    }
    std::vector<std::string> secrets;
    CrashReportDelegate* delegate = nullptr;
};

class HeadlessUpdater : public UpdateChecker {
public:
    void setFeedURL(const std::string& url) override { calls.push_back("feed " + url); }
    void checkForUpdates() override { calls.push_back("foreground"); }
    void checkForUpdatesInBackground() override { calls.push_back("background"); }
    std::vector<std::string> calls;
};

} // namespace app::testing
