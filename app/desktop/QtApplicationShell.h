#pragma once

#include "app/core/ApplicationShell.h"
#include "app/desktop/QtPanelFactory.h"

#include <QPointer>
#include <QWidget>

namespace app::desktop {

// The running Qt application as the delegate sees it. On Linux the "Dock
// icon" is the taskbar entry of the settings window: regular gives it one,
// accessory none.
class QtApplicationShell : public ApplicationShell {
public:
    explicit QtApplicationShell(QtPanelFactory& panels) : panels_(panels) {}

    void setActivationPolicy(platform::ActivationPolicy policy) override;
    void activateIgnoringOtherApps() override;
    void orderFrontStandardAboutPanel() override;
    void terminate() override;
    void beep() override;

    platform::ActivationPolicy activationPolicy() const { return policy_; }
    // The About box while it is open.
    QWidget* aboutBox() const { return about_; }

private:
    QtPanelFactory& panels_;
    platform::ActivationPolicy policy_ = platform::ActivationPolicy::Regular;
    QPointer<QWidget> about_;
};

} // namespace app::desktop
