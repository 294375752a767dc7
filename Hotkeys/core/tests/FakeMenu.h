#pragma once

#include "Hotkeys/core/Menu.h"

#include <memory>
#include <string>
#include <vector>

namespace Hotkeys {

struct FakeMenu;

// A menu item that keeps what it is given; `sub` is its submenu.
struct FakeMenuItem : MenuItem {
    explicit FakeMenuItem(std::string equivalent = "x", std::uint64_t mask = 1, std::string name = {})
        : equivalent(std::move(equivalent)), mask(mask), name(std::move(name)) {}
    std::string keyEquivalent() const override { return equivalent; }
    std::uint64_t keyEquivalentModifierMask() const override { return mask; }
    void setKeyEquivalent(const std::string& e) override { equivalent = e; }
    void setKeyEquivalentModifierMask(std::uint64_t m) override { mask = m; }
    void setAllowsAutomaticKeyEquivalentLocalization(bool a) override { localizes = a; }
    std::string title() const override { return name; }
    const Menu* submenu() const override;
    std::string equivalent;
    std::uint64_t mask;
    std::string name;
    bool localizes = true;
    std::shared_ptr<FakeMenu> sub;
};

struct FakeMenu : Menu {
    std::vector<const MenuItem*> items() const override { return {entries.begin(), entries.end()}; }
    FakeMenuItem& add(std::string equivalent, std::uint64_t mask, std::string name = {}) {
        owned.push_back(std::make_shared<FakeMenuItem>(std::move(equivalent), mask, std::move(name)));
        entries.push_back(owned.back().get());
        return *owned.back();
    }
    std::vector<FakeMenuItem*> entries;
    std::vector<std::shared_ptr<FakeMenuItem>> owned;
};

inline const Menu* FakeMenuItem::submenu() const { return sub.get(); }

} // namespace Hotkeys
