#pragma once

#include "app/core/ViewFactory.h"
#include "app/settings/SettingsView.h"

namespace app {

// The view factory of the program: the switcher view comes from `base`, the
// settings view is the full SettingsView.
class SettingsViewFactory : public ViewFactory {
public:
    SettingsViewFactory(ViewFactory& base, ApplicationShell& shell, platform::Workspace& workspace,
                        platform::Deployment deployment, platform::LocalEventSource& events, HotkeyBinding& hotkeys,
                        platform::NotificationCenter& center, platform::ShortcutHost* shortcutHost)
        : base_(base), shell_(shell), workspace_(workspace), deployment_(std::move(deployment)), events_(events),
          hotkeys_(hotkeys), center_(center), shortcutHost_(shortcutHost) {}

    std::shared_ptr<HostingView> makeSwitcherView(AppDelegate& delegate, AppList& list,
                                                  const SwitcherViewOptions& options) override {
        return base_.makeSwitcherView(delegate, list, options);
    }
    std::shared_ptr<HostingView> makeSettingsView(AppDelegate& delegate) override;

private:
    ViewFactory& base_;
    ApplicationShell& shell_;
    platform::Workspace& workspace_;
    platform::Deployment deployment_;
    platform::LocalEventSource& events_;
    HotkeyBinding& hotkeys_;
    platform::NotificationCenter& center_;
    platform::ShortcutHost* shortcutHost_;
};

} // namespace app
