#include "app/core/testing/HeadlessAppServices.h"

#include "app/core/AppList.h"
#include "platform/Event.h"

namespace app::testing {

PanelWindowPtr HeadlessPanelFactory::makeWindow() {
    auto panel = std::make_shared<HeadlessPanel>(false);
    made.push_back(panel);
    return panel;
}

PanelWindowPtr HeadlessPanelFactory::makeFloatingPanel(const FloatingPanelOptions& options) {
    auto panel = std::make_shared<HeadlessPanel>(true, options);
    made.push_back(panel);
    return panel;
}

std::shared_ptr<HostingView> HeadlessViewFactory::makeSwitcherView(AppDelegate&, AppList& list,
                                                                   const SwitcherViewOptions& options) {
    switcherOptions = options;
    if (makeNoSwitcherView) return nullptr;
    auto view = std::make_shared<HeadlessHostingView>([this, &list] {
        return Size{switcherWidth, rowHeight * static_cast<double>(list.sortedApps().size())};
    });
    return view;
}

std::shared_ptr<HostingView> HeadlessViewFactory::makeSettingsView(AppDelegate&) {
    auto view = std::make_shared<HeadlessHostingView>([] { return Size{600, 600}; });
    settingsViews.push_back(view);
    return view;
}

void HeadlessStatusBar::createStatusItem(const std::string& image, bool isTemplate, const StatusMenu& m,
                                         StatusMenuTarget& t) {
    ++itemsCreated;
    imageName = image;
    templateImage = isTemplate;
    menu = m;
    target = &t;
}

std::vector<MenuItem> HeadlessStatusBar::open() {
    std::vector<MenuItem> shown = menu.items;
    enabled.clear();
    for (auto& item : shown) enabled.push_back(target->validateMenuItem(item));
    return shown;
}

bool HeadlessStatusBar::choose(const std::string& title) {
    for (const auto& item : menu.items) {
        if (!item.separator && item.title == title) {
            target->performMenuAction(item.action);
            return true;
        }
    }
    return false;
}

void HeadlessHotkeys::addKeyDownHandler(const std::string& name, std::optional<HotkeyShortcut> defaultShortcut,
                                        std::function<void()> handler) {
    defaults[name] = defaultShortcut;
    handlers[name].push_back(std::move(handler));
}

std::optional<StoredShortcut> HeadlessHotkeys::storedShortcut(const std::string& name) {
    std::optional<HotkeyShortcut> shortcut;
    if (auto it = stored.find(name); it != stored.end()) shortcut = it->second;
    else if (auto d = defaults.find(name); d != defaults.end()) shortcut = d->second;
    if (!shortcut) return std::nullopt;
    return StoredShortcut{eventModifiers(shortcut->carbonModifiers), describe(*shortcut), shortcut->keyCode,
                          shortcut->carbonModifiers};
}

bool HeadlessHotkeys::press(const std::string& name) {
    auto it = handlers.find(name);
    if (it == handlers.end() || it->second.empty()) return false;
    auto copy = it->second;
    for (auto& handler : copy) handler();
    return true;
}

void HeadlessHotkeys::store(const std::string& name, std::optional<HotkeyShortcut> shortcut) {
    stored[name] = shortcut;
}

std::uint64_t HeadlessHotkeys::eventModifiers(std::uint32_t carbon) {
    std::uint64_t flags = 0;
    if (carbon & 0x0100) flags |= platform::ModifierCommand;
    if (carbon & 0x0200) flags |= platform::ModifierShift;
    if (carbon & 0x0800) flags |= platform::ModifierOption;
    if (carbon & 0x1000) flags |= platform::ModifierControl;
    return flags;
}

std::string HeadlessHotkeys::describe(const HotkeyShortcut& shortcut) {
    std::string text;
    if (shortcut.carbonModifiers & 0x1000) text += "⌃";
    if (shortcut.carbonModifiers & 0x0800) text += "⌥";
    if (shortcut.carbonModifiers & 0x0200) text += "⇧";
    if (shortcut.carbonModifiers & 0x0100) text += "⌘";
    text += shortcut.keyCode == 48 ? std::string("⇥") : "#" + std::to_string(shortcut.keyCode);
    return text;
}

} // namespace app::testing
