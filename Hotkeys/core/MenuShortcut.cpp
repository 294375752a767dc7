#include "Hotkeys/core/Menu.h"
#include "Hotkeys/core/ObjectAssociation.h"
#include "Hotkeys/core/State.h"
#include "platform/Scheduler.h"

namespace Hotkeys {

MenuItem::~MenuItem() { clearAssociations(this); }

namespace {

// The item's change subscription lives on the item itself, so it goes away
// with the item or when the item is unbound.
ObjectAssociation<std::shared_ptr<platform::Subscription>>& menuSubscriptionAssociation() {
    static auto* association =
        new ObjectAssociation<std::shared_ptr<platform::Subscription>>(AssociationPolicy::retainNonatomic);
    return *association;
}

} // namespace

void applyMenuShortcut(MenuItem& item, const std::optional<Shortcut>& shortcut) {
    // Menus are main-thread objects; a change announced elsewhere is applied there.
    if (auto* scheduler = detail::state().services.scheduler; scheduler && !scheduler->mainQueue().isCurrent()) {
        MenuItem* target = &item;
        auto* association = &menuSubscriptionAssociation();
        scheduler->mainQueue().async([target, shortcut, association] {
            // Skip items unbound or destroyed in the meantime.
            if (association->get(target)) applyMenuShortcut(*target, shortcut);
        });
        return;
    }
    if (shortcut) {
        item.setKeyEquivalent(shortcut->menuKeyEquivalent());
        item.setKeyEquivalentModifierMask(shortcut->eventModifiers().rawValue);
        item.setAllowsAutomaticKeyEquivalentLocalization(false);
    } else {
        item.setKeyEquivalent("");
        item.setKeyEquivalentModifierMask(0);
        item.setAllowsAutomaticKeyEquivalentLocalization(true);
    }
}

void setMenuShortcut(MenuItem& item, const std::optional<Name>& name) {
    auto& association = menuSubscriptionAssociation();
    if (!name) {
        item.setKeyEquivalent("");
        item.setKeyEquivalentModifierMask(0);
        item.setAllowsAutomaticKeyEquivalentLocalization(true);
        association.set(&item, std::nullopt); // removes the observer
        return;
    }
    applyMenuShortcut(item, storedShortcut(*name));
    auto* center = detail::state().services.notificationCenter;
    if (!center) return;
    MenuItem* target = &item;
    const std::string bound = name->rawValue;
    auto id = center->addObserver(ShortcutByNameDidChangeNotification, nullptr,
                                  [target, bound](const platform::Notification& n) {
                                      const Name* changed = n.info<Name>("name");
                                      if (!changed || changed->rawValue != bound) return;
                                      applyMenuShortcut(*target, storedShortcut(*changed));
                                  });
    association.set(&item, std::make_shared<platform::Subscription>(*center, id));
}

} // namespace Hotkeys
