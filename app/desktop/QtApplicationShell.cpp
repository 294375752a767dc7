#include "app/desktop/QtApplicationShell.h"

#include "app/desktop/Notice.h"

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
    // One box, without a nested event loop: the hot key and the panel keep
    // working while it is open.
    if (!about_) {
        auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("About Zelvo"),
                                    QStringLiteral("<b>Zelvo</b> %1<br>A keyboard application switcher for the "
                                                   "Linux desktop.")
                                        .arg(QCoreApplication::applicationVersion()),
                                    QMessageBox::Ok);
        box->setAttribute(Qt::WA_DeleteOnClose);
        about_ = box;
    }
    presentNotice(about_);
}

void QtApplicationShell::terminate() {
    // After the current event: the caller's work finishes first.
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void QtApplicationShell::beep() { QApplication::beep(); }

} // namespace app::desktop
