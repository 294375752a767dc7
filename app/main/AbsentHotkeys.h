#pragma once

#include "app/core/HotkeyBinding.h"

namespace app::desktop {

// The hot-key binding while the program has no global hot-key service: no
// handler is ever called and no shortcut is stored, so the release handling
// stays off. The panel still opens from the tray menu and by launching Zelvo
// again.
class AbsentHotkeys : public HotkeyBinding {
public:
    void addKeyDownHandler(const std::string&, std::optional<HotkeyShortcut>, std::function<void()>) override {}
    std::optional<StoredShortcut> storedShortcut(const std::string&) override { return std::nullopt; }
};

} // namespace app::desktop
