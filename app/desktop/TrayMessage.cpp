#include "app/desktop/TrayMessage.h"

#include "platform/Log.h"

#include <QApplication>
#include <QIcon>
#include <QSystemTrayIcon>
#include <QTimer>

namespace app::desktop {

void showTrayMessage(const std::string& title, const std::string& text) {
    platform::logWarning(title + ": " + text);
    QTimer::singleShot(0, [title, text] {
        if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
        // A short-lived icon of its own carries the balloon and goes away after it.
        QIcon icon = QApplication::windowIcon();
        if (icon.isNull()) icon = QIcon::fromTheme(QStringLiteral("input-keyboard"));
        auto* tray = new QSystemTrayIcon(icon, qApp);
        tray->show();
        tray->showMessage(QString::fromStdString(title), QString::fromStdString(text), QSystemTrayIcon::Warning, 10000);
        QTimer::singleShot(12000, tray, [tray] {
            tray->hide();
            tray->deleteLater();
        });
    });
}

} // namespace app::desktop
