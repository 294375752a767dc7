#pragma once

#include "app/core/PanelWindow.h"
#include "app/desktop/FloatingPanel.h"
#include "platform/Event.h"
#include "platform/linux/desktop/PanelSurface.h"

#include <functional>

#include <memory>
#include <vector>

namespace app::desktop {

// Makes Zelvo's windows and remembers its panels, so that the shell can give
// the settings panel a taskbar entry or take it away and the program can tell
// the switcher panel when another application became active.
class QtPanelFactory : public PanelFactory {
public:
    QtPanelFactory(platform::UserDefaults& defaults, platform::Queue& mainQueue);

    PanelWindowPtr makeWindow() override;
    PanelWindowPtr makeFloatingPanel(const FloatingPanelOptions& options) override;

    // Where the display system gives the switcher panel a surface of its
    // own, the switcher flavour draws into it (its keys go to `keys`); the
    // settings flavour stays a toolkit window.
    void setPanelSurface(platform::desktop::PanelSurface* surface, std::function<void(const platform::Event&)> keys) {
        panelSurface_ = surface;
        panelKeys_ = std::move(keys);
    }

    void setShowsInTaskbar(bool value);
    // Hooks given to every panel made from now on.
    void setHooks(FloatingPanel::Hooks hooks) { hooks_ = std::move(hooks); }
    std::vector<std::shared_ptr<FloatingPanel>> panels() const;

private:
    platform::UserDefaults& defaults_;
    platform::Queue& mainQueue_;
    bool showsInTaskbar_ = true;
    FloatingPanel::Hooks hooks_;
    std::vector<std::weak_ptr<FloatingPanel>> panels_;
    platform::desktop::PanelSurface* panelSurface_ = nullptr;
    std::function<void(const platform::Event&)> panelKeys_;
};

} // namespace app::desktop
