#pragma once

#include "app/core/HotkeyBinding.h"
#include "platform/Deployment.h"
#include "platform/NotificationCenter.h"
#include "platform/ShortcutHost.h"
#include "platform/EventMonitors.h"
#include "platform/Workspace.h"

#include <QWidget>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;

namespace Hotkeys {
class Recorder;
}

namespace app {

class AppDelegate;
class ApplicationShell;
class HotkeyStatusView;
class StartAtLoginToggle;
class TelemetryToggle;

// What the settings view needs besides the delegate.
struct SettingsEnvironment {
    AppDelegate& delegate;                          // defaults(), closeSettings()
    ApplicationShell& shell;                        // the taskbar entry ("Show in Dock")
    platform::Workspace& workspace;                 // opens the web pages
    platform::Deployment deployment;                // contactURL, websiteURL
    platform::LocalEventSource& events;             // key presses for the shortcut recorder
    HotkeyBinding& hotkeys;                         // whether the hot key is in effect
    platform::NotificationCenter& center;           // where shortcut changes are posted
    platform::ShortcutHost* shortcutHost = nullptr; // the desktop's side of the hot key
};

// The settings window's content, which doubles as the first-run welcome: what
// Zelvo does, the sort order, whether the panel stays up after the hot key is
// released, the hot key itself, start at login and the taskbar entry. The
// stored settings are read when the view is built and written at once on
// every change, under the keys the rest of the application reads.
class SettingsView : public QWidget {
public:
    explicit SettingsView(SettingsEnvironment environment, QWidget* parent = nullptr);

    // Controls, for tests.
    QButtonGroup* sortPicker() const { return sortPicker_; }
    // "Show applications from": 0 all desktops, 1 this desktop only.
    QButtonGroup* desktopPicker() const { return desktopPicker_; }
    QCheckBox* doNotHideToggle() const { return doNotHide_; }
    QCheckBox* showInDockToggle() const { return showInDock_; }
    StartAtLoginToggle* startAtLoginToggle() const { return startAtLogin_; }
    TelemetryToggle* telemetryToggle() const { return telemetry_; }
    Hotkeys::Recorder* recorder() const { return recorder_; }
    HotkeyStatusView* hotkeyStatus() const { return hotkeyStatus_; }
    QAbstractButton* closeButton() const { return closeButton_; }
    QAbstractButton* button(const QString& title) const;

private:
    void sortingChanged(int value);
    void doNotHideChanged(bool value);
    void showInDockChanged(bool value);
    void openPage(const std::string& url);

    SettingsEnvironment env_;
    QButtonGroup* desktopPicker_ = nullptr;
    QButtonGroup* sortPicker_ = nullptr;
    QCheckBox* doNotHide_ = nullptr;
    QCheckBox* showInDock_ = nullptr;
    StartAtLoginToggle* startAtLogin_ = nullptr;
    TelemetryToggle* telemetry_ = nullptr;
    Hotkeys::Recorder* recorder_ = nullptr;
    HotkeyStatusView* hotkeyStatus_ = nullptr;
    QAbstractButton* closeButton_ = nullptr;
};

} // namespace app
