#include "app/settings/SettingsView.h"
#include "app/settings/HotkeyStatusView.h"
#include "app/settings/StartAtLoginToggle.h"
#include "app/hotkeys/HotkeysBinding.h"

#include "app/core/AppDelegate.h"
#include "app/core/testing/HeadlessAppServices.h"
#include "app/login/StartAtLogin.h"
#include "Hotkeys/core/KeyboardLayout.h"
#include "Hotkeys/core/Services.h"
#include "Hotkeys/recorder/Recorder.h"
#include "Hotkeys/testing/FakeHotKeyService.h"
#include "platform/headless/HeadlessEventSource.h"
#include "platform/headless/HeadlessWorkspace.h"
#include "platform/headless/ManualScheduler.h"
#include "platform/linux/qt/testing/TestApplication.h"
#include "platform/linux/testing/RunProgram.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace app;
using namespace app::testing;
namespace fs = std::filesystem;

namespace {

class SettingsViewTest : public ::testing::Test {
protected:
    SettingsViewTest() {
        platform::qt::testApplication();
        ::setenv("XDG_CONFIG_HOME", home.c_str(), 1);
        StartAtLogin::setService(nullptr);
        StartAtLogin::setLogger([this](const std::string& line) { logged.push_back(line); });
        defaults = std::make_unique<platform::UserDefaults>(home / "zelvo" / "preferences.json");

        Hotkeys::install({.defaults = defaults.get(),
                          .notificationCenter = &center,
                          .scheduler = &scheduler,
                          .hotKeyService = &hotKeyService,
                          .keyboardLayout = &layout});

        deployment.contactURL = "https://maker.test/contact-us/";
        deployment.websiteURL = "https://maker.test/";
        delegate = std::make_unique<AppDelegate>(AppServices{scheduler, workspace, center, *defaults, events,
                                                             deployment, std::string("zelvo"), shell, panels, views,
                                                             statusBar, hotkeys, nullptr, nullptr});
    }
    ~SettingsViewTest() override {
        view.reset();
        delegate.reset();
        Hotkeys::install({});
        StartAtLogin::setLogger(nullptr);
    }

    SettingsView& build() {
        view.reset();
        view = std::make_unique<SettingsView>(
            SettingsEnvironment{*delegate, shell, workspace, deployment, events, binding, center, shortcutHost});
        return *view;
    }

    const zelvo::testing::TemporaryFolder folder;
    const fs::path& home = folder.path;
    std::vector<std::string> logged;
    platform::ManualScheduler scheduler;
    platform::HeadlessWorkspace workspace;
    platform::NotificationCenter center;
    std::unique_ptr<platform::UserDefaults> defaults;
    platform::HeadlessEventSource events;
    platform::Deployment deployment;
    HeadlessShell shell;
    HeadlessPanelFactory panels;
    HeadlessViewFactory views;
    HeadlessStatusBar statusBar;
    HeadlessHotkeys hotkeys;
    HotkeysBinding binding; // the real binding, over the fake hot-key service
    platform::ShortcutHost* shortcutHost = nullptr;
    Hotkeys::FakeHotKeyService hotKeyService;
    Hotkeys::UsKeyboardLayout layout;
    std::unique_ptr<AppDelegate> delegate;
    std::unique_ptr<SettingsView> view;
};

TEST_F(SettingsViewTest, FreshConfigurationShowsTheDefaults) {
    auto& v = build();
    EXPECT_EQ(v.sortPicker()->checkedId(), 1);
    EXPECT_EQ(v.sortPicker()->checkedButton()->text(), "Name");
    EXPECT_TRUE(v.showInDockToggle()->isChecked());
    EXPECT_FALSE(v.doNotHideToggle()->isChecked());
    EXPECT_FALSE(v.startAtLoginToggle()->isChecked());
    ASSERT_TRUE(v.recorder()->hasLabel());
    EXPECT_EQ(qobject_cast<QLabel*>(v.recorder()->label())->text().remove(QLatin1Char('&')), "Global hotkey:");
    EXPECT_EQ(v.recorder()->field()->shortcutName().rawValue, "showFloatingPanel");
    EXPECT_EQ(v.recorder()->field()->text().toStdString(), "Alt+Tab");
    // Linux words throughout: no Mac key names or glyphs, no Dock.
    for (auto* label : v.findChildren<QWidget*>()) {
        QString text = label->property("text").toString();
        for (const char* word : {"Command", "Option", "Dock", "⌥", "⌘", "⇥"})
            EXPECT_FALSE(text.contains(QString::fromUtf8(word))) << text.toStdString();
    }
    for (const char* title : {"Send Feedback", "More Apps", "Close Settings"}) EXPECT_TRUE(v.button(title)) << title;
    // Building the view writes nothing.
    EXPECT_TRUE(defaults->storedObject(kSortingCriterion) == std::nullopt);
    EXPECT_TRUE(defaults->storedObject(kShowInDock) == std::nullopt);
}

// A window manager or compositor as the hot-key sentence sees it; records
// what the view asked of it.
struct ScriptedHost : platform::ShortcutHost {
    std::string program;
    bool compositor = false, can = true;
    std::string line;
    std::optional<platform::ShortcutKeys> taken;
    std::vector<std::string> calls;
    std::function<void()> onTakeOver;
    std::string name() const override { return program; }
    bool runsZelvoShow() const override { return compositor; }
    bool canTakeOver(const platform::ShortcutKeys&) const override { return can; }
    std::string takeOverDescription(const platform::ShortcutKeys& k) const override {
        return "Changes " + program + "'s " + k.displayName + ".";
    }
    std::string takeOver(const platform::ShortcutKeys& k) override {
        calls.push_back("take " + std::to_string(k.keyCode) + "/" + std::to_string(k.modifiers));
        taken = k;
        if (onTakeOver) onTakeOver();
        return {};
    }
    std::string giveBack() override {
        calls.push_back("give back");
        taken.reset();
        return {};
    }
    std::optional<platform::ShortcutKeys> takenOver() const override { return taken; }
    void renew(const platform::ShortcutKeys&) override {}
    std::string configLine(const platform::ShortcutKeys&) const override { return line; }
    std::string configFile() const override { return "rc"; }
    std::string showCommand() const override { return "zelvo --show"; }
};

// The welcome tells the truth about the hot key, and changes the desktop's
// settings only when its button is pressed.
TEST_F(SettingsViewTest, HotkeySentenceSaysWhoHoldsTheHotkeyAndTakesItOverOnlyWhenAsked) {
    binding.addKeyDownHandler(kShowFloatingPanel, HotkeyShortcut{48, 0x0800}, [] {});
    struct Case {
        const char* program;
        bool compositor, can, held;
        const char* line;
        const char* headline;
        const char* button; // empty: none
        const char* afterClick;
    };
    const std::vector<Case> cases = {
        {"", false, false, false, "", "Simply press the Global hotkey: <b><u>Alt+Tab</u></b>", "", ""},
        {"Openbox", false, true, true, "", "<b><u>Alt+Tab</u></b> is used by Openbox, so Zelvo cannot have it.",
         "Take Alt+Tab Over from Openbox", "Give Alt+Tab Back to Openbox"},
        {"KWin", false, false, true, "", "<b><u>Alt+Tab</u></b> is used by KWin, so Zelvo cannot have it.", "", ""},
        {"", false, false, true, "", "<b><u>Alt+Tab</u></b> is used by another program, so Zelvo cannot have it.", "",
         ""},
        {"sway", true, true, false, "", "sway decides what <b><u>Alt+Tab</u></b> does.", "Bind Alt+Tab in sway",
         "Stop Binding Alt+Tab in sway"},
        {"labwc", true, false, false, "<keybind/>", "Simply press the Global hotkey: <b><u>Alt+Tab</u></b>", "", ""},
        {"", true, false, false, "", "This desktop lets no program set a global shortcut by itself.", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.program) + " " + c.headline);
        ScriptedHost host;
        host.program = c.program;
        host.compositor = c.compositor;
        host.can = c.can;
        host.line = c.line;
        // The window manager lets go of the keys once its binding is gone.
        host.onTakeOver = [this] { hotKeyService.releaseCombination(48, 0x0800); };
        hotKeyService.releaseCombination(48, 0x0800);
        if (c.held) hotKeyService.takeCombination(48, 0x0800);
        binding.retry(kShowFloatingPanel);
        shortcutHost = c.program[0] || c.compositor ? &host : nullptr;
        auto* status = build().hotkeyStatus();
        EXPECT_EQ(status->headline()->text().toStdString(), c.headline);
        EXPECT_EQ(status->actionButton() ? status->actionButton()->text().toStdString() : "", c.button);
        EXPECT_TRUE(host.calls.empty()) << "nothing changes before the user asks";
        if (!c.compositor && !c.can && c.held) {
            EXPECT_TRUE(status->detail()->text().endsWith("Or choose another shortcut below."));
        }
        if (c.compositor && !c.can) {
            EXPECT_EQ(status->configLine()->text().toStdString(), c.line[0] ? c.line : "zelvo --show");
        }
        if (!*c.button) continue;
        status->actionButton()->click();
        QApplication::processEvents();
        EXPECT_EQ(host.calls, std::vector<std::string>{"take 48/2048"});
        EXPECT_EQ(status->headline()->text().toStdString(), "Simply press the Global hotkey: <b><u>Alt+Tab</u></b>");
        EXPECT_TRUE(binding.isAvailable(kShowFloatingPanel));
        EXPECT_EQ(status->actionButton()->text().toStdString(), c.afterClick);
        status->actionButton()->click();
        QApplication::processEvents();
        EXPECT_EQ(host.calls.back(), "give back");
    }
    shortcutHost = nullptr;
}

TEST_F(SettingsViewTest, EachSettingIsStoredAtOnceAndReadBack) {
    auto& v = build();
    v.sortPicker()->button(0)->click();
    EXPECT_EQ(defaults->integerForKey(kSortingCriterion), 0);
    EXPECT_EQ(delegate->appList().sortingCriterion(), SortingCriterion::byActivationTime);
    EXPECT_EQ(v.desktopPicker()->checkedId(), 0); // all desktops unless chosen
    v.desktopPicker()->button(1)->click();
    EXPECT_EQ(delegate->appList().applicationsShown(), ApplicationsShown::currentDesktop);

    v.doNotHideToggle()->click();
    EXPECT_EQ(defaults->storedObject(kDoNotHideWhenHotkeyIsReleased), platform::Value(true));

    v.showInDockToggle()->click();
    EXPECT_EQ(defaults->storedObject(kShowInDock), platform::Value(false));
    ASSERT_FALSE(shell.policies.empty());
    EXPECT_EQ(shell.policies.back(), platform::ActivationPolicy::Accessory);

    // Written to the preferences file: a new store over the same file, as
    // after a restart, reads the same values.
    ASSERT_TRUE(defaults->synchronize());
    platform::UserDefaults reread(defaults->file());
    EXPECT_EQ(reread.integerForKey(kSortingCriterion), 0);
    EXPECT_TRUE(reread.boolForKey(kDoNotHideWhenHotkeyIsReleased));
    EXPECT_EQ(reread.storedObject(kShowInDock), platform::Value(false));

    auto& again = build();
    EXPECT_EQ(again.sortPicker()->checkedId(), 0);
    EXPECT_EQ(again.desktopPicker()->checkedId(), 1);
    EXPECT_TRUE(again.doNotHideToggle()->isChecked());
    EXPECT_FALSE(again.showInDockToggle()->isChecked());

    again.showInDockToggle()->click();
    EXPECT_EQ(defaults->storedObject(kShowInDock), platform::Value(true));
    EXPECT_EQ(shell.policies.back(), platform::ActivationPolicy::Regular);
    again.sortPicker()->button(1)->click();
    EXPECT_EQ(defaults->integerForKey(kSortingCriterion), 1);
    again.doNotHideToggle()->click();
    EXPECT_EQ(defaults->storedObject(kDoNotHideWhenHotkeyIsReleased), platform::Value(false));
}

TEST_F(SettingsViewTest, ButtonsOpenPagesAndCloseCompletesTheWelcome) {
    delegate->applicationDidFinishLaunching();
    scheduler.runUntilIdle();
    ASSERT_TRUE(delegate->settingsPanel()->isVisible()) << "the welcome opens on a first launch";

    auto& v = build();
    v.button("Send Feedback")->click();
    v.button("More Apps")->click();
    EXPECT_EQ(workspace.openedURLs(),
              (std::vector<std::string>{"https://maker.test/contact-us/", "https://maker.test/"}));
    EXPECT_EQ(shell.activations, 0) << "the settings links do not bring Zelvo forward";

    deployment.websiteURL = "not a url";
    build().button("More Apps")->click();
    EXPECT_EQ(workspace.openedURLs().size(), 2u);

    view->button("Close Settings")->click();
    EXPECT_FALSE(delegate->settingsPanel()->isVisible());
    EXPECT_TRUE(defaults->boolForKey(kWelcomePassed));
    scheduler.advance(platform::Seconds(2.9));
    EXPECT_FALSE(delegate->panelWindow()->isVisible());
    scheduler.advance(platform::Seconds(0.2));
    EXPECT_TRUE(delegate->panelWindow()->isVisible()) << "the switcher shows once, 3 s after the welcome";

    // The close button does the same; the welcome is not repeated.
    delegate->panelWindow()->orderOut();
    delegate->openSettings();
    build().closeButton()->click();
    scheduler.advance(platform::Seconds(5));
    EXPECT_FALSE(delegate->panelWindow()->isVisible());
}

TEST_F(SettingsViewTest, LaunchAtLoginToggleFollowsTheAutostartEntry) {
    auto& v = build();
    const fs::path entry = home / "autostart" / "com.zelvo.Zelvo.desktop";
    v.startAtLoginToggle()->click();
    EXPECT_TRUE(fs::exists(entry));
    EXPECT_TRUE(v.startAtLoginToggle()->isChecked());
    EXPECT_TRUE(build().startAtLoginToggle()->isChecked()) << "a new view reads the registry";

    view->startAtLoginToggle()->click();
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_FALSE(view->startAtLoginToggle()->isChecked());

    // A failure leaves the toggle showing what really holds.
    fs::remove_all(home / "autostart");
    std::ofstream(home / "autostart") << "in the way";
    view->startAtLoginToggle()->click();
    EXPECT_FALSE(view->startAtLoginToggle()->isChecked());
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].rfind("Failed to enable launch at login: ", 0), 0u) << logged[0];
}

} // namespace
