#pragma once

#include <string>
#include <vector>

namespace app {

// What a status-menu item does when chosen; None for separators.
enum class MenuAction {
    None,
    ShowPanel,
    OpenAbout,
    MoreApps,
    OpenSettings,
    CheckForUpdates,
    SendFeedback,
    SubscribeToBetaUpdates,
    Quit,
};

struct MenuItem {
    std::string title;
    MenuAction action = MenuAction::None;
    int tag = 0;
    bool separator = false;
    bool enabled = true;
};

// The status (tray) menu as a plain model; the desktop renders it.
struct StatusMenu {
    std::string title;
    std::vector<MenuItem> items;
};

// Answers the menu: implemented by the delegate.
class StatusMenuTarget {
public:
    virtual ~StatusMenuTarget() = default;
    // Called for every item each time the menu opens, before it shows; may
    // rewrite the item's title. Returns whether the item is enabled.
    virtual bool validateMenuItem(MenuItem& item) = 0;
    // Called when the user chooses an item.
    virtual void performMenuAction(MenuAction action) = 0;
};

// The system status bar (tray).
class StatusBar {
public:
    virtual ~StatusBar() = default;
    // Creates the one status item with the named image (drawn as a template
    // image when `templateImage`) and the menu; keeps `target` for the life of
    // the item.
    virtual void createStatusItem(const std::string& imageName, bool templateImage, const StatusMenu& menu,
                                  StatusMenuTarget& target) = 0;
};

} // namespace app
