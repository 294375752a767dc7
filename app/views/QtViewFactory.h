#pragma once

#include "app/core/ViewFactory.h"
#include "platform/NotificationCenter.h"
#include "platform/Scheduler.h"
#include "platform/UserDefaults.h"

namespace app::views {

// Makes the Qt views the delegate hosts in its panels.
class QtViewFactory : public ViewFactory {
public:
    QtViewFactory(platform::UserDefaults& defaults, platform::NotificationCenter& center, platform::Queue& mainQueue)
        : defaults_(defaults), center_(center), mainQueue_(mainQueue) {}

    std::shared_ptr<HostingView> makeSwitcherView(AppDelegate& delegate, AppList& list,
                                                  const SwitcherViewOptions& options) override;
    std::shared_ptr<HostingView> makeSettingsView(AppDelegate& delegate) override;

private:
    platform::UserDefaults& defaults_;
    platform::NotificationCenter& center_;
    platform::Queue& mainQueue_;
};

} // namespace app::views
