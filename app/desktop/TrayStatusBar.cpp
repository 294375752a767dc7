#include "app/desktop/TrayStatusBar.h"

#include "app/desktop/StatusIcon.h"

#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>

namespace app::desktop {

TrayStatusBar::TrayStatusBar() = default;

TrayStatusBar::~TrayStatusBar() = default;

void TrayStatusBar::createStatusItem(const std::string& imageName, bool templateImage, const StatusMenu& model,
                                     StatusMenuTarget& target) {
    if (tray_) return; // one status item for the life of the program
    target_ = &target;
    menu_ = std::make_unique<QMenu>();
    menu_->setTitle(QString::fromStdString(model.title));
    for (const auto& item : model.items) {
        if (item.separator) {
            menu_->addSeparator();
            continue;
        }
        QAction* action = menu_->addAction(QString::fromStdString(item.title));
        MenuAction what = item.action;
        QObject::connect(action, &QAction::triggered, [this, what] {
            if (target_) target_->performMenuAction(what);
        });
        items_.emplace_back(action, item);
    }
    QObject::connect(menu_.get(), &QMenu::aboutToShow, [this] { validate(); });

    tray_ = std::make_unique<QSystemTrayIcon>(statusIcon(imageName, templateImage));
    tray_->setToolTip(QString::fromStdString(model.title));
    tray_->setContextMenu(menu_.get());
    // A left click opens the same menu, as a status item does.
    QObject::connect(tray_.get(), &QSystemTrayIcon::activated, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger) menu_->popup(QCursor::pos());
    });
    tray_->show();
}

void TrayStatusBar::validate() {
    if (!target_) return;
    for (auto& [action, item] : items_) {
        MenuItem copy = item;
        bool enabled = target_->validateMenuItem(copy);
        action->setText(QString::fromStdString(copy.title));
        action->setEnabled(enabled);
    }
}

} // namespace app::desktop
