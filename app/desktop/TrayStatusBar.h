#pragma once

#include "app/core/StatusMenu.h"

#include <memory>
#include <vector>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace app::desktop {

// The status item as a tray icon with its menu. The items are validated each
// time the menu opens, so the delegate can rewrite titles (the hot key in
// "Show Zelvo").
class TrayStatusBar : public StatusBar {
public:
    TrayStatusBar();
    ~TrayStatusBar() override;

    void createStatusItem(const std::string& imageName, bool templateImage, const StatusMenu& menu,
                          StatusMenuTarget& target) override;

    QMenu* menu() const { return menu_.get(); }
    // Runs the validation the opening of the menu runs.
    void validate();

private:
    std::unique_ptr<QMenu> menu_;
    std::unique_ptr<QSystemTrayIcon> tray_;
    std::vector<std::pair<QAction*, MenuItem>> items_;
    StatusMenuTarget* target_ = nullptr;
};

} // namespace app::desktop
