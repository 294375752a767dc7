#include "app/desktop/QtApplicationShell.h"

#include <QApplication>
#include <QMessageBox>

namespace app::desktop {

void QtApplicationShell::setActivationPolicy(platform::ActivationPolicy policy) {
    policy_ = policy;
    panels_.setShowsInTaskbar(policy == platform::ActivationPolicy::Regular);
}

void QtApplicationShell::activateIgnoringOtherApps() {
    // Zelvo's managed windows (the settings window) come to the front; the
    // switcher panel never takes the focus.
    for (auto& panel : panels_.panels()) {
        if (panel->showsWindowControls() && panel->isVisible()) {
            panel->raise();
            panel->activateWindow();
        }
    }
}

void QtApplicationShell::orderFrontStandardAboutPanel() {
    QMessageBox::about(nullptr, QStringLiteral("About Zelvo"),
                       QStringLiteral("<b>Zelvo</b> %1<br>A keyboard application switcher for the Linux desktop.")
                           .arg(QCoreApplication::applicationVersion()));
}

void QtApplicationShell::terminate() {
    // After the current event: the caller's work finishes first.
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void QtApplicationShell::beep() { QApplication::beep(); }

} // namespace app::desktop
