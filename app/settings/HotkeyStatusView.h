#pragma once

#include "app/core/HotkeyBinding.h"
#include "platform/NotificationCenter.h"
#include "platform/ShortcutHost.h"

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

namespace app {

// The welcome's sentence about the hot key, telling the truth about it: that
// it works, that another program holds it (and which, when known), or what
// the desktop needs so that it runs Zelvo. Where Zelvo knows how to change
// the desktop's settings it offers that, saying first what will change, and
// offers to undo it later. Follows every change of the shortcut.
class HotkeyStatusView : public QWidget {
public:
    HotkeyStatusView(HotkeyBinding& hotkeys, platform::ShortcutHost* host, platform::NotificationCenter& center,
                     QWidget* parent = nullptr);

    // Reads the state again and shows it.
    void refresh();
    // Told after every refresh of any such view (the debug snapshot).
    static void setChangeObserver(std::function<void()> observer);

    // Parts, for tests.
    QLabel* headline() const { return headline_; }
    QLabel* detail() const { return detail_; }
    QLabel* configLine() const { return configLine_; }
    QPushButton* actionButton() const { return action_; } // nothing when there is nothing to do

private:
    void act();
    void waitForHotkey(int attemptsLeft);

    HotkeyBinding& hotkeys_;
    platform::ShortcutHost* host_;
    platform::Subscription shortcutChanges_;
    QLabel* headline_ = nullptr;
    QLabel* detail_ = nullptr;
    QLabel* configLine_ = nullptr;
    QPushButton* action_ = nullptr;
    std::string error_; // of the last action, shown until the next refresh
};

} // namespace app
