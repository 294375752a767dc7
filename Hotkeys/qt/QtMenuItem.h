#pragma once

#include "Hotkeys/core/Menu.h"

#include <QPointer>

#include <memory>
#include <vector>

class QAction;
class QMenu;

namespace Hotkeys {

class QtMenu;

// A QAction as a MenuItem: its shortcut is read and written as a key
// equivalent (the key's text, lower-case letters; glyphs for return,
// arrows and the like; the private-use characters for F1-F20) plus a
// modifier mask (Qt's Ctrl = Control, Alt = Option, Meta = Command).
class QtMenuItem : public MenuItem {
public:
    explicit QtMenuItem(QAction* action);
    ~QtMenuItem() override;

    std::string keyEquivalent() const override;
    std::uint64_t keyEquivalentModifierMask() const override;
    void setKeyEquivalent(const std::string& keyEquivalent) override;
    void setKeyEquivalentModifierMask(std::uint64_t mask) override;
    const Menu* submenu() const override;
    // The action's text without its mnemonic marks.
    std::string title() const override;

    QAction* action() const { return action_.data(); }

private:
    void apply();
    QPointer<QAction> action_;
    std::string pendingKey_;
    std::uint64_t pendingMask_ = 0;
    mutable std::unique_ptr<QtMenu> submenu_;
};

// A QMenu as a Menu, for conflict lookups. The item adapters are made on
// each call to items() and live as long as this object.
class QtMenu : public Menu {
public:
    explicit QtMenu(QMenu* menu);
    ~QtMenu() override;
    std::vector<const MenuItem*> items() const override;

private:
    QPointer<QMenu> menu_;
    mutable std::vector<std::unique_ptr<QtMenuItem>> items_;
};

} // namespace Hotkeys
