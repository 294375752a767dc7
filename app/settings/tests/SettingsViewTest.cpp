#include "app/settings/SettingsView.h"
#include "app/settings/StartAtLoginToggle.h"

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

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>

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
        char pattern[] = "/tmp/zelvo-settings-XXXXXX";
        home = ::mkdtemp(pattern);
        ::setenv("XDG_CONFIG_HOME", home.c_str(), 1);
        StartAtLogin::setService(nullptr);
        StartAtLogin::setLogger([this](const std::string& line) { logged.push_back(line); });
        defaults = std::make_unique<platform::UserDefaults>(home / "zelvo" / "preferences.json");

        Hotkeys::Services s;
        s.defaults = defaults.get();
        s.notificationCenter = &center;
        s.scheduler = &scheduler;
        s.hotKeyService = &hotKeyService;
        s.keyboardLayout = &layout;
        Hotkeys::install(s);

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
        fs::remove_all(home);
    }

    SettingsView& build() {
        view.reset();
        view = std::make_unique<SettingsView>(SettingsEnvironment{*delegate, shell, workspace, deployment, events});
        return *view;
    }

    fs::path home;
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

TEST_F(SettingsViewTest, EachSettingIsStoredAtOnceAndReadBack) {
    auto& v = build();
    v.sortPicker()->button(0)->click();
    EXPECT_EQ(defaults->integerForKey(kSortingCriterion), 0);
    EXPECT_EQ(delegate->appList().sortingCriterion(), SortingCriterion::byActivationTime);

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
