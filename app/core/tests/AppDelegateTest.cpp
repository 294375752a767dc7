#include "app/core/AppDelegate.h"
#include "app/core/testing/HeadlessAppServices.h"

#include "platform/headless/HeadlessEventSource.h"
#include "platform/headless/HeadlessWorkspace.h"
#include "platform/headless/ManualScheduler.h"

#include <gtest/gtest.h>

using namespace app;
using namespace app::testing;
using platform::Event;
using platform::EventType;
using platform::HeadlessApplication;
using platform::HeadlessApplicationPtr;

namespace {

constexpr std::uint64_t kOption = platform::ModifierOption;
constexpr std::uint64_t kShift = platform::ModifierShift;
constexpr std::uint64_t kControl = platform::ModifierControl;

Event keyDown(std::uint16_t code, std::string characters = "") {
    Event e;
    e.type = EventType::KeyDown;
    e.keyCode = code;
    e.characters = characters;
    e.charactersIgnoringModifiers = characters;
    e.modifierFlags = kOption;
    return e;
}

Event withFlags(Event e, std::uint64_t modifiers) {
    e.modifierFlags = modifiers;
    return e;
}

Event flags(std::uint64_t modifiers) {
    Event e;
    e.type = EventType::FlagsChanged;
    e.modifierFlags = modifiers | 0x20; // a device-dependent bit, never examined
    return e;
}

class AppDelegateTest : public ::testing::Test {
protected:
    AppDelegateTest() {
        deployment = platform::Deployment::defaults();
        deployment.websiteURL = "https://maker.test/";
        deployment.contactURL = "https://maker.test/contact-us/";
        deployment.betaFormURL = "https://forms.test/beta";
        deployment.appcastURL = "https://downloads.test/downloads/Zelvo.xml";
        deployment.appSecret = "00000000-1111-2222-3333-444444444444";
    }

    // Applications named App0, App1, ... in name order.
    std::vector<HeadlessApplicationPtr> addApps(int count) {
        std::vector<HeadlessApplicationPtr> apps;
        for (int i = 0; i < count; ++i) {
            HeadlessApplication::Facts f;
            f.pid = 1000 + i;
            f.localizedName = "App" + std::string(i < 10 ? "0" : "") + std::to_string(i);
            f.bundleIdentifier = "org.example.app" + std::to_string(i);
            f.bundleURL = "/apps/" + std::to_string(i);
            apps.push_back(workspace.addExisting(f));
        }
        return apps;
    }

    // Launched over `count` applications, with the hot key pressed once.
    std::vector<HeadlessApplicationPtr> switching(int count) {
        auto apps = addApps(count);
        launch();
        press();
        return apps;
    }

    AppDelegate& launch(bool welcomePassed = true) {
        if (welcomePassed && !defaults.storedObject(kWelcomePassed)) defaults.set(kWelcomePassed, true);
        delegate = std::make_unique<AppDelegate>(AppServices{scheduler, workspace, center, defaults, events, deployment,
                                                             std::string("zelvo"), shell, panels, views, statusBar,
                                                             hotkeys, &telemetry, updater ? &*updater : nullptr});
        delegate->applicationDidFinishLaunching();
        scheduler.runUntilIdle();
        return *delegate;
    }

    HeadlessPanel& panel() { return static_cast<HeadlessPanel&>(*delegate->panelWindow()); }
    HeadlessPanel& settings() { return static_cast<HeadlessPanel&>(*delegate->settingsPanel()); }
    bool press() {
        bool pressed = hotkeys.press(kShowFloatingPanel);
        scheduler.runUntilIdle();
        return pressed;
    }
    bool swallowed(const Event& e) { return !events.dispatch(e).has_value(); }
    RunningApplicationPtr hovered() { return delegate->appList().hoveredApp(); }
    RunningApplicationPtr frontmost() { return workspace.frontmostApplication(); }

    platform::ManualScheduler scheduler;
    platform::HeadlessWorkspace workspace;
    platform::NotificationCenter center;
    platform::UserDefaults defaults;
    platform::HeadlessEventSource events;
    platform::Deployment deployment;
    HeadlessShell shell;
    HeadlessPanelFactory panels;
    HeadlessViewFactory views;
    HeadlessStatusBar statusBar;
    HeadlessHotkeys hotkeys;
    HeadlessTelemetry telemetry;
    std::optional<HeadlessUpdater> updater{std::in_place};
    std::unique_ptr<AppDelegate> delegate;
};

TEST_F(AppDelegateTest, OneSwitchFromHotKeyToRelease) {
    auto apps = addApps(4);
    launch();
    EXPECT_TRUE(panel().isFloatingPanel());
    EXPECT_FALSE(panel().isVisible());
    EXPECT_EQ(views.switcherOptions->iconSize, 32);
    EXPECT_TRUE(views.switcherOptions->showAppNames);
    EXPECT_EQ(panel().content, delegate->hostingView());
    EXPECT_EQ(events.monitorCount(), 2u);
    EXPECT_EQ(hotkeys.storedShortcut(kShowFloatingPanel)->eventModifiers, kOption); // Option+Tab default

    ASSERT_TRUE(press());
    EXPECT_TRUE(panel().isVisible());
    EXPECT_TRUE(panel().closeOnLostFocus);
    EXPECT_FALSE(panel().restoreWindowPosition);
    EXPECT_EQ(hovered(), apps[1]);
    // Fitted to four rows, no narrower than 200.
    EXPECT_EQ(panel().contentSize, (Size{200, 160}));

    EXPECT_TRUE(swallowed(keyDown(48)));
    EXPECT_TRUE(swallowed(keyDown(48)));
    EXPECT_EQ(hovered(), apps[3]);

    EXPECT_FALSE(swallowed(flags(kOption))); // still held: nothing
    EXPECT_TRUE(panel().isVisible());
    EXPECT_FALSE(swallowed(flags(0))); // released; the event still passes on
    EXPECT_FALSE(panel().isVisible());
    EXPECT_EQ(frontmost(), apps[3]);
    EXPECT_EQ(apps[3]->activations(), (std::vector<unsigned>{3u}));

    // With the panel down, keys and releases pass through untouched.
    for (const Event& e : {keyDown(48), keyDown(18, "1"), flags(0)}) EXPECT_FALSE(swallowed(e));
    scheduler.advance(platform::Seconds(1));
    EXPECT_EQ(apps[3]->activations().size(), 1u);
}

TEST_F(AppDelegateTest, HotKeyWhileVisibleMovesTheHighlightAndWraps) {
    auto apps = switching(3);
    EXPECT_EQ(hovered(), apps[1]);
    press();
    EXPECT_EQ(hovered(), apps[2]);
    press();
    EXPECT_EQ(hovered(), apps[0]);
    EXPECT_EQ(panel().ordersFront, 1);

    EXPECT_TRUE(swallowed(keyDown(126))); // Up
    EXPECT_EQ(hovered(), apps[2]);
    EXPECT_TRUE(swallowed(keyDown(125))); // Down
    EXPECT_EQ(hovered(), apps[0]);
    EXPECT_FALSE(swallowed(keyDown(122))); // F1: keys the panel does not use pass on
}

TEST_F(AppDelegateTest, AnyHotKeyPressedWhileThePanelHoldsTheKeysMovesTheHighlight) {
    auto apps = addApps(4);
    launch();
    // The panel holds the keyboard, so further presses arrive as key events.
    struct Case {
        const char* name;
        HotkeyShortcut shortcut; // Carbon code and modifiers
        std::uint64_t flags;     // event modifiers of the press
        std::string characters;
    };
    const Case cases[] = {
        {"Super+Space", {49, 0x0100}, platform::ModifierCommand, " "},
        {"Alt+grave", {50, 0x0800}, kOption, "`"},
        {"Alt+1 over the digit", {18, 0x0800}, kOption, "1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        hotkeys.store(kShowFloatingPanel, c.shortcut);
        press();
        ASSERT_EQ(hovered(), apps[1]);
        const Event e = withFlags(keyDown(std::uint16_t(c.shortcut.keyCode), c.characters), c.flags);
        EXPECT_TRUE(swallowed(e));
        EXPECT_EQ(hovered(), apps[2]);
        EXPECT_TRUE(swallowed(e));
        EXPECT_EQ(hovered(), apps[3]);
        scheduler.advance(platform::Seconds(1)); // no digit activation follows
        EXPECT_TRUE(panel().isVisible());
        EXPECT_EQ(frontmost(), nullptr);
        EXPECT_TRUE(swallowed(keyDown(53))); // Escape
    }
    // The key without the hot key's modifiers is an ordinary key.
    press();
    hotkeys.store(kShowFloatingPanel, HotkeyShortcut{49, 0x0100});
    EXPECT_FALSE(swallowed(withFlags(keyDown(49, " "), 0)));
    EXPECT_EQ(hovered(), apps[1]);
}

TEST_F(AppDelegateTest, DigitsSelectAndActivateAfterADelayAndDigitRowKeysCountByPlace) {
    auto apps = addApps(11);
    launch();

    press();
    EXPECT_TRUE(swallowed(keyDown(29, "0")));
    EXPECT_EQ(hovered(), apps[0]);
    EXPECT_TRUE(panel().isVisible());
    scheduler.advance(platform::Seconds(0.05));
    EXPECT_TRUE(panel().isVisible());
    scheduler.advance(platform::Seconds(0.05));
    EXPECT_FALSE(panel().isVisible());
    EXPECT_EQ(frontmost(), apps[0]);

    // Unshifted characters of French AZERTY, Czech QWERTZ and a remapped row:
    // a digit wins, anything else counts by the key's place in the row.
    // Keypad digits are digits too (keypad 3 is code 85). "-", "=" and a
    // character-less key in the ranges are swallowed without effect.
    const struct {
        std::uint16_t code;
        const char* text;
        int app; // -1: none
    } cases[] = {
        {18, "&", 1},        {19, "\xc3\xa9", 2}, {22, "-", 6}, {25, "\xc3\xa7", 9}, {29, "\xc3\xa0", 0},
        {20, "\xc5\xa1", 3}, {26, "7", 7},        {18, "4", 4}, {27, ")", -1},       {24, "=", -1},
        {90, "", -1},        {25, "9", 9},        {85, "3", 3}, {27, "-", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        press();
        auto before = hovered();
        auto front = frontmost();
        const std::size_t activated = c.app < 0 ? 0 : apps[c.app]->activations().size();
        EXPECT_TRUE(swallowed(keyDown(c.code, c.text)));
        scheduler.advance(platform::Seconds(1));
        if (c.app < 0) {
            EXPECT_EQ(hovered(), before);
            EXPECT_EQ(frontmost(), front);
            EXPECT_TRUE(panel().isVisible());
            events.dispatch(flags(0)); // ends this switch
        } else {
            EXPECT_FALSE(panel().isVisible());
            EXPECT_EQ(frontmost(), apps[c.app]);
            EXPECT_EQ(apps[c.app]->activations().size(), activated + 1);
        }
    }
}

TEST_F(AppDelegateTest, ReleaseRightAfterADigitActivatesOnlyTheDigitsApp) {
    auto apps = switching(4);
    EXPECT_TRUE(swallowed(keyDown(20, "3")));
    events.dispatch(flags(0)); // released before the digit's delay is over
    scheduler.advance(platform::Seconds(1));
    EXPECT_EQ(frontmost(), apps[3]);
    EXPECT_EQ(apps[3]->activations().size(), 1u);
    for (int i : {0, 1, 2}) EXPECT_TRUE(apps[i]->activations().empty()) << i;
    // Releases after the activation are handled as usual again.
    press();
    auto highlighted = hovered();
    events.dispatch(flags(0));
    EXPECT_FALSE(panel().isVisible());
    EXPECT_EQ(frontmost(), highlighted);
}

TEST_F(AppDelegateTest, DigitWithoutARowHidesAndActivatesNothing) {
    auto apps = switching(3);
    EXPECT_TRUE(swallowed(keyDown(23, "5")));
    EXPECT_EQ(hovered(), apps[1]);
    scheduler.advance(platform::Seconds(0.1));
    EXPECT_FALSE(panel().isVisible());
    EXPECT_EQ(frontmost(), nullptr);
    for (auto& app : apps) EXPECT_TRUE(app->activations().empty());
}

TEST_F(AppDelegateTest, PinnedPanelStaysUpAndComesBackAfterReturn) {
    auto apps = addApps(3);
    defaults.set(kIsPinned, true);
    launch();
    // Pinned: up from launch, keeping its position, but the keyboard stays
    // with the user's application.
    EXPECT_TRUE(panel().isVisible());
    EXPECT_FALSE(panel().isKeyWindow());
    EXPECT_FALSE(panel().closeOnLostFocus);
    EXPECT_TRUE(panel().restoreWindowPosition);
    EXPECT_EQ(panel().ordersFront, 1);
    EXPECT_FALSE(swallowed(keyDown(36))); // typing goes past the panel
    EXPECT_FALSE(swallowed(flags(0)));
    EXPECT_TRUE(apps[1]->activations().empty());

    // The hot key starts a switch on the panel that is up.
    press();
    EXPECT_TRUE(panel().isKeyWindow());
    EXPECT_EQ(hovered(), apps[1]);
    EXPECT_TRUE(swallowed(keyDown(36)));
    EXPECT_EQ(frontmost(), apps[1]);
    EXPECT_TRUE(panel().isVisible());
    EXPECT_FALSE(panel().isKeyWindow()); // the activated application types again
    EXPECT_EQ(panel().orderOuts, 0);
    scheduler.advance(platform::Seconds(0.05));
    EXPECT_EQ(panel().ordersFront, 1);
    scheduler.advance(platform::Seconds(0.05));
    EXPECT_EQ(panel().ordersFront, 2);
    EXPECT_FALSE(panel().isKeyWindow());

    // Releasing the hot key activates but neither hides nor re-shows.
    press();
    delegate->appList().selectApp(2);
    events.dispatch(flags(0));
    EXPECT_EQ(frontmost(), apps[2]);
    EXPECT_TRUE(panel().isVisible());
    EXPECT_FALSE(panel().isKeyWindow());
    scheduler.advance(platform::Seconds(1));
    EXPECT_EQ(panel().ordersFront, 2);

    // A digit while pinned: activation without hiding, then a re-show.
    panel().makeKey(); // a click into the panel
    EXPECT_TRUE(swallowed(keyDown(18, "1")));
    scheduler.advance(platform::Seconds(0.25));
    EXPECT_EQ(frontmost(), apps[1]);
    EXPECT_EQ(panel().orderOuts, 0);
    EXPECT_EQ(panel().ordersFront, 3);
    EXPECT_FALSE(panel().isKeyWindow());

    // Escape hides even a pinned panel, and nothing brings it back.
    press();
    EXPECT_TRUE(swallowed(keyDown(53)));
    EXPECT_FALSE(panel().isVisible());
    scheduler.advance(platform::Seconds(1));
    EXPECT_FALSE(panel().isVisible());
}

TEST_F(AppDelegateTest, ReturnWhenNotPinnedHidesAndActivatesTheHighlight) {
    auto apps = switching(2);
    EXPECT_TRUE(swallowed(keyDown(36)));
    EXPECT_FALSE(panel().isVisible());
    EXPECT_EQ(frontmost(), apps[1]);
    scheduler.advance(platform::Seconds(1));
    EXPECT_FALSE(panel().isVisible());
}

TEST_F(AppDelegateTest, ReleaseNeedsEveryHotKeyModifierGoneExtrasDoNotMatter) {
    auto apps = addApps(3);
    hotkeys.store(kShowFloatingPanel, HotkeyShortcut{48, 0x0800 | 0x0200}); // Shift+Option+Tab
    launch();
    press();
    events.dispatch(flags(kOption | kShift | platform::ModifierCommand)); // extra Command
    events.dispatch(flags(kOption | kShift | platform::ModifierCapsLock));
    EXPECT_TRUE(panel().isVisible());
    events.dispatch(flags(kOption)); // Shift let go: not all held any more
    EXPECT_FALSE(panel().isVisible());
    EXPECT_EQ(frontmost(), apps[1]);
}

TEST_F(AppDelegateTest, ReleaseHandlingOffOrWithoutHotKeyLeavesThePanelUp) {
    auto apps = addApps(3);
    // The one default: switching on release.
    launch();
    EXPECT_EQ(defaults.object(kDoNotHideWhenHotkeyIsReleased), platform::Value(false));

    defaults.set(kDoNotHideWhenHotkeyIsReleased, true);
    press();
    events.dispatch(flags(0));
    EXPECT_TRUE(panel().isVisible());
    EXPECT_TRUE(swallowed(keyDown(36)));
    EXPECT_EQ(frontmost(), apps[1]);

    defaults.set(kDoNotHideWhenHotkeyIsReleased, false);
    hotkeys.store(kShowFloatingPanel, std::nullopt); // cleared by the user
    delegate->showPanel();
    scheduler.runUntilIdle();
    events.dispatch(flags(0));
    EXPECT_TRUE(panel().isVisible());

    // With a hot key again, the panel opened from the menu goes at the first
    // change of modifiers.
    hotkeys.store(kShowFloatingPanel, HotkeyShortcut{48, 0x0800});
    events.dispatch(flags(kShift));
    EXPECT_FALSE(panel().isVisible());
    EXPECT_EQ(frontmost(), apps[1]);
}

TEST_F(AppDelegateTest, PinChangesReachThePanelFlags) {
    addApps(2);
    launch();
    EXPECT_TRUE(panel().closeOnLostFocus);
    // Stored value, then whether the panel behaves pinned; "yes" is not a bool and is ignored.
    const std::pair<platform::Value, bool> changes[] = {{true, true}, {false, false}, {"yes", false}};
    for (const auto& [stored, pinned] : changes) {
        defaults.set(kIsPinned, stored);
        EXPECT_EQ(panel().closeOnLostFocus, !pinned);
        EXPECT_EQ(panel().restoreWindowPosition, pinned);
    }
}

TEST_F(AppDelegateTest, FirstRunShowsTheWelcomeThenTheSwitcherOnce) {
    addApps(2);
    launch(false);
    EXPECT_TRUE(settings().isFloatingPanel());
    EXPECT_EQ(settings().options.contentRect, (Rect{0, 0, 600, 600}));
    EXPECT_TRUE(settings().options.showsWindowControls);
    EXPECT_FALSE(settings().closeOnLostFocus);
    EXPECT_FALSE(settings().restoreWindowPosition);
    EXPECT_TRUE(settings().isVisible());
    ASSERT_EQ(views.settingsViews.size(), 1u);
    EXPECT_EQ(settings().content, views.settingsViews[0]);

    delegate->closeSettings();
    EXPECT_FALSE(settings().isVisible());
    EXPECT_EQ(defaults.storedObject(kWelcomePassed), platform::Value(true));
    scheduler.advance(platform::Seconds(2.9));
    EXPECT_FALSE(panel().isVisible());
    scheduler.advance(platform::Seconds(0.1));
    EXPECT_TRUE(panel().isVisible());

    // Later closes only hide the settings.
    panel().orderOut();
    statusBar.choose("Settings");
    EXPECT_TRUE(settings().isVisible());
    EXPECT_EQ(views.settingsViews.size(), 2u); // a fresh view each time
    delegate->closeSettings();
    scheduler.advance(platform::Seconds(5));
    EXPECT_FALSE(panel().isVisible());
}

TEST_F(AppDelegateTest, WelcomePassedSkipsTheWelcomeAndStatusMenuItemsAndShowItemTitle) {
    launch(true);
    EXPECT_FALSE(settings().isVisible());
    EXPECT_TRUE(views.settingsViews.empty());
    EXPECT_EQ(statusBar.itemsCreated, 1);
    EXPECT_EQ(statusBar.imageName, "StatusBarIcon");
    EXPECT_TRUE(statusBar.templateImage);
    EXPECT_EQ(statusBar.menu.title, "Zelvo");
    std::vector<std::string> layout;
    for (const auto& item : statusBar.menu.items) layout.push_back(item.separator ? "-" : item.title);
    EXPECT_EQ(layout,
              (std::vector<std::string>{"Show Zelvo", "-", "About", "More Apps", "-", "Settings", "Check for Updates",
                                        "-", "-", "Feedback/Contact Us", "Subscribe to Beta Updates", "-", "Quit"}));
    EXPECT_EQ(statusBar.menu.items[0].tag, 1000);

    auto shown = statusBar.open();
    EXPECT_EQ(shown[0].title, "Show Zelvo           ⌥⇥");
    EXPECT_EQ(statusBar.enabled, std::vector<bool>(13, true));
    hotkeys.store(kShowFloatingPanel, HotkeyShortcut{48, 0x0100});
    EXPECT_EQ(statusBar.open()[0].title, "Show Zelvo           ⌘⇥");
    hotkeys.held.insert(kShowFloatingPanel);
    EXPECT_EQ(statusBar.open()[0].title, "Show Zelvo           ⌘⇥ (unavailable)");
    hotkeys.store(kShowFloatingPanel, std::nullopt);
    EXPECT_EQ(statusBar.open()[0].title, "Show Zelvo");
    EXPECT_EQ(statusBar.open()[2].title, "About");
}

TEST_F(AppDelegateTest, MenuActions) {
    addApps(2);
    launch();
    statusBar.choose("Show Zelvo");
    scheduler.runUntilIdle();
    EXPECT_TRUE(panel().isVisible());

    statusBar.choose("About");
    EXPECT_FALSE(panel().isVisible());
    EXPECT_EQ(shell.activations, 1);
    EXPECT_EQ(shell.aboutPanels, 1);

    statusBar.choose("More Apps");
    statusBar.choose("Feedback/Contact Us");
    statusBar.choose("Subscribe to Beta Updates");
    EXPECT_EQ(workspace.openedURLs(), (std::vector<std::string>{"https://maker.test/", "https://maker.test/contact-us/",
                                                                "https://forms.test/beta"}));
    EXPECT_EQ(shell.activations, 4);

    statusBar.choose("Check for Updates");
    EXPECT_EQ(updater->calls,
              (std::vector<std::string>{"feed https://downloads.test/downloads/Zelvo.xml", "foreground"}));

    statusBar.choose("Quit");
    EXPECT_EQ(shell.terminations, 1);
}

TEST_F(AppDelegateTest, ShowInDockIsStoredWhenAbsentAndOnlyATrueBoolMeansRegular) {
    launch();
    EXPECT_EQ(defaults.storedObject(kShowInDock), platform::Value(true));
    // false, or anything that is not a bool, is an accessory; what is stored stays.
    for (const platform::Value& stored : {platform::Value(false), platform::Value("true")}) {
        defaults.set(kShowInDock, stored);
        delegate.reset();
        launch();
        EXPECT_EQ(defaults.storedObject(kShowInDock), stored);
    }
    EXPECT_EQ(shell.policies, (std::vector<platform::ActivationPolicy>{platform::ActivationPolicy::Regular,
                                                                       platform::ActivationPolicy::Accessory,
                                                                       platform::ActivationPolicy::Accessory}));
}

TEST_F(AppDelegateTest, UpdateChecksAfter40SecondsThenDaily) {
    launch();
    const std::string feed = "feed https://downloads.test/downloads/Zelvo.xml";
    scheduler.advance(platform::Seconds(39.9));
    EXPECT_TRUE(updater->calls.empty());
    scheduler.advance(platform::Seconds(0.1));
    EXPECT_EQ(updater->calls, (std::vector<std::string>{feed, "background"}));
    scheduler.advance(platform::Seconds(86400 - 40));
    EXPECT_EQ(updater->calls.size(), 4u);
    scheduler.advance(platform::Seconds(86400));
    EXPECT_EQ(updater->calls.size(), 6u);
    EXPECT_EQ(updater->calls.back(), "background");
}

TEST_F(AppDelegateTest, NoUpdaterMeansNoChecks) {
    updater.reset();
    auto apps = addApps(2);
    launch();
    delegate->checkForUpdates();
    // The first and the daily check come due and find no updater: nothing
    // is shown, nothing activated, and the switcher works on.
    EXPECT_GT(scheduler.advance(platform::Seconds(86400)), 0u);
    EXPECT_EQ(shell.activations, 0);
    EXPECT_FALSE(settings().isVisible());
    ASSERT_TRUE(press());
    EXPECT_TRUE(panel().isVisible());
    EXPECT_EQ(hovered(), apps[1]);
}

TEST_F(AppDelegateTest, TelemetryStartsWithTheSecretAndProcessesEveryCrash) {
    launch();
    EXPECT_EQ(telemetry.secrets, (std::vector<std::string>{"00000000-1111-2222-3333-444444444444"}));
    ASSERT_EQ(telemetry.delegate, delegate.get());
    EXPECT_TRUE(telemetry.delegate->shouldProcessErrorReport());
    EXPECT_EQ(defaults.object(kCrashOnExceptions), platform::Value(true));
    EXPECT_FALSE(defaults.storedObject(kCrashOnExceptions).has_value());
}

TEST_F(AppDelegateTest, ReopenAndResizeNotifications) {
    auto apps = addApps(2);
    launch();
    EXPECT_TRUE(delegate->applicationShouldHandleReopen(false));
    scheduler.runUntilIdle();
    EXPECT_TRUE(panel().isVisible());
    EXPECT_EQ(panel().contentSize, (Size{200, 80}));

    // A launch changes the rows; the resize comes asynchronously.
    views.switcherWidth = 320;
    HeadlessApplication::Facts f;
    f.localizedName = "Zzz";
    f.bundleIdentifier = "org.example.zzz";
    workspace.launch(f);
    EXPECT_EQ(panel().contentSize, (Size{200, 80}));
    scheduler.runUntilIdle();
    EXPECT_EQ(panel().contentSize, (Size{320, 120}));
}

TEST_F(AppDelegateTest, WithoutSwitcherViewThePanelIsAPlainWindow) {
    addApps(2);
    views.makeNoSwitcherView = true;
    launch();
    EXPECT_FALSE(panel().isFloatingPanel());
    press();
    EXPECT_FALSE(panel().isVisible());
    EXPECT_EQ(delegate->appList().hoveredApp(), delegate->appList().sortedApps()[1]);
    EXPECT_EQ(panel().contentSize, (Size{0, 0}));
}

TEST_F(AppDelegateTest, PendingWorkAfterTheDelegateIsGoneDoesNothing) {
    auto apps = addApps(3);
    launch(false);
    press();
    events.dispatch(keyDown(19, "2"));
    delegate->closeSettings();
    delegate.reset();
    EXPECT_EQ(events.monitorCount(), 0u);
    scheduler.advance(platform::Seconds(100000));
    EXPECT_TRUE(hotkeys.press(kShowFloatingPanel)); // handler outlives the delegate harmlessly
    for (auto& app : apps) EXPECT_TRUE(app->activations().empty());
    EXPECT_TRUE(updater->calls.empty());
}

TEST_F(AppDelegateTest, TypedLettersNarrowTheRowsBestMatchesFirstAndEscapeClearsThemFirst) {
    for (const char* name : {"Big Chart", "Charlie", "Mocha", "Zed"}) {
        HeadlessApplication::Facts f;
        f.localizedName = name;
        f.bundleIdentifier = std::string("org.example.") + name;
        workspace.addExisting(f);
    }
    launch();
    auto& list = delegate->appList();
    auto shown = [&] {
        std::string names;
        for (const auto& app : list.shownApps()) names += *app->localizedName() + ",";
        return names;
    };
    press();
    for (const char* letter : {"c", "H", "a"}) EXPECT_TRUE(swallowed(keyDown(0, letter)));
    EXPECT_EQ(shown(), "Charlie,Big Chart,Mocha,");
    EXPECT_EQ(*hovered()->localizedName(), "Charlie");
    EXPECT_TRUE(swallowed(keyDown(51))); // Backspace
    EXPECT_EQ(list.filter(), "ch");
    EXPECT_FALSE(swallowed(withFlags(keyDown(7, "x"), kControl))); // a shortcut, not a letter
    EXPECT_TRUE(swallowed(withFlags(keyDown(0, "z"), 0)));         // without the hot key's modifier too
    EXPECT_EQ(shown(), "");
    EXPECT_EQ(hovered(), nullptr);
    EXPECT_TRUE(swallowed(keyDown(36))); // Return: nothing to switch to, the panel stays
    EXPECT_TRUE(panel().isVisible());

    EXPECT_TRUE(swallowed(keyDown(53))); // Escape clears the filter
    EXPECT_TRUE(panel().isVisible());
    EXPECT_EQ(shown(), "Big Chart,Charlie,Mocha,Zed,");
    EXPECT_TRUE(swallowed(keyDown(0, "m")));
    EXPECT_TRUE(swallowed(keyDown(29, "0"))); // digits number the rows shown
    scheduler.advance(platform::Seconds(1));
    EXPECT_EQ(*frontmost()->localizedName(), "Mocha");

    press(); // a new showing starts unfiltered
    EXPECT_EQ(list.filter(), "");
    EXPECT_TRUE(swallowed(keyDown(53)));
    EXPECT_FALSE(panel().isVisible());
}

TEST_F(AppDelegateTest, WindowKeysReachOneWindowAndCtrlKeysActOnTheHighlightedApplication) {
    auto apps = addApps(3);
    apps[1]->facts().windows = {
        {11, "front", false, true, {}}, {12, "middle", false, true, {}}, {13, "back", false, true, {}}};
    launch();
    auto& list = delegate->appList();
    press();
    ASSERT_EQ(hovered(), apps[1]);
    const Event aboveTab = keyDown(50, "`");
    for (auto [event, chosen] :
         {std::pair{aboveTab, 12}, {aboveTab, 13}, {withFlags(aboveTab, kOption | kShift), 12}}) {
        EXPECT_TRUE(swallowed(event));
        EXPECT_EQ(list.chosenWindow(), std::optional<std::uint64_t>(chosen));
    }
    EXPECT_TRUE(swallowed(keyDown(124))); // Right lists the windows
    EXPECT_EQ(list.expandedApp(), apps[1]);
    EXPECT_TRUE(swallowed(keyDown(123)));
    EXPECT_EQ(list.expandedApp(), nullptr);
    events.dispatch(flags(0));
    EXPECT_EQ(apps[1]->windowRequests(), (std::vector<std::string>{"activate 12"}));

    press();
    ASSERT_EQ(hovered(), apps[1]);
    EXPECT_TRUE(swallowed(withFlags(keyDown(46, "m"), kOption | kControl))); // the front window, now 12
    EXPECT_TRUE(swallowed(aboveTab));
    EXPECT_TRUE(swallowed(withFlags(keyDown(13, "w"), kOption | kControl))); // the chosen one
    EXPECT_TRUE(swallowed(withFlags(keyDown(12, "q"), kOption | kControl)));
    EXPECT_EQ(apps[1]->windowRequests(),
              (std::vector<std::string>{"activate 12", "minimize 12", "close 11", "close 12", "close 13"}));
    // Its last window gone, the row goes; the panel stays with the next row.
    EXPECT_EQ(list.shownApps(), (std::vector<RunningApplicationPtr>{apps[0], apps[2]}));
    EXPECT_EQ(hovered(), apps[2]);
    EXPECT_TRUE(panel().isVisible());

    // This desktop only: rows and windows elsewhere are left out.
    apps[0]->facts().windows = {{21, "here", false, true, {}}, {22, "there", false, false, 2}};
    apps[2]->facts().windows = {{31, "away", false, false, 3}};
    defaults.set(kShowApplicationsFrom, 1);
    press();
    EXPECT_EQ(list.shownApps(), (std::vector<RunningApplicationPtr>{apps[0]}));
    ASSERT_EQ(list.windowsOf(apps[0]).size(), 1u);
    EXPECT_EQ(list.windowsOf(apps[0])[0].id, 21u);
}

} // namespace
