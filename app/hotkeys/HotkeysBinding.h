#pragma once

#include "app/core/HotkeyBinding.h"

#include "Hotkeys/core/Name.h"

#include <functional>
#include <map>
#include <string>

namespace app {

// Named hot keys of the delegate, kept by the Hotkeys subsystem (stored
// under "Hotkeys_<name>", registered as global hot keys). When the
// shortcut of a name cannot be registered because another program holds
// the combination, `tellUser` gets one message per run naming it.
class HotkeysBinding : public HotkeyBinding {
public:
    using Notifier = std::function<void(const std::string& title, const std::string& message)>;
    explicit HotkeysBinding(Notifier tellUser = {});

    void addKeyDownHandler(const std::string& name, std::optional<HotkeyShortcut> defaultShortcut,
                           std::function<void()> handler) override;
    std::optional<StoredShortcut> storedShortcut(const std::string& name) override;
    bool isAvailable(const std::string& name) override;
    void release(const std::string& name) override;
    void retry(const std::string& name) override;

private:
    std::map<std::string, Hotkeys::Name> names_;
    Notifier tellUser_;
    bool told_ = false;
};

} // namespace app
