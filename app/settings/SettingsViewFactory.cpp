#include "app/settings/SettingsViewFactory.h"

#include "app/views/BasicSettingsView.h"

namespace app {

std::shared_ptr<HostingView> SettingsViewFactory::makeSettingsView(AppDelegate& delegate) {
    auto view = std::make_unique<SettingsView>(SettingsEnvironment{delegate, shell_, workspace_, deployment_, events_, hotkeys_, center_, shortcutHost_});
    return std::make_shared<views::SettingsHostingView>(std::move(view));
}

} // namespace app
