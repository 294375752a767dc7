#include "Hotkeys/core/tests/Events.h"
#include "Hotkeys/testing/HotkeysFixture.h"

using namespace Hotkeys;

namespace {

CarbonEvent hotKeyEvent(std::uint32_t kind, std::uint32_t signature, std::uint32_t id) {
    CarbonEvent e;
    e.kind = kind;
    e.hotKeyID = EventHotKeyID{signature, id};
    return e;
}

} // namespace

// Registers shortcuts whose handlers log "tag:down:code" and "tag:up:code".
class Registration : public HotkeysTest {
protected:
    void add(const Shortcut& shortcut, const std::string& tag) {
        auto logAs = [this, tag](std::string kind) {
            return
                [this, tag, kind](const Shortcut& s) { log.push_back(tag + kind + std::to_string(s.carbonKeyCode)); };
        };
        CarbonHotkeys::registerHotKey(shortcut, logAs(":down:"), logAs(":up:"));
    }
    std::vector<std::string> log;
};

TEST_F(Registration, IdsCountFromOneRefusalsConsumeIdsAndLeaveNoRecord) {
    service.takeCombination(0, kCommand);
    add(Shortcut(48, kOption), "a"); // id 1
    EXPECT_TRUE(CarbonHotkeys::hasEventHandler());
    EXPECT_TRUE(service.handlerHasKind(kEventHotKeyPressed));
    EXPECT_TRUE(service.handlerHasKind(kEventHotKeyReleased));
    add(Shortcut(0, kCommand), "b"); // id 2, refused
    add(Shortcut(1, kCommand), "c"); // id 3
    // Out of range: refused before the platform sees it, id 4 consumed.
    add(Shortcut::unnormalized(-5, 0), "d");
    add(Shortcut(2, 0), "e"); // id 5

    EXPECT_EQ(service.installCount(), 1);
    EXPECT_EQ(service.registerCalls(), 4);
    std::vector<std::int64_t> ids;
    for (auto& [id, record] : CarbonHotkeys::hotKeyTable()) ids.push_back(id);
    EXPECT_EQ(ids, (std::vector<std::int64_t>{1, 3, 5}));
    EXPECT_EQ(service.registeredId(1, kCommand), (EventHotKeyID{fourCharCode("ZLVK"), 3}));
    EXPECT_EQ(CarbonHotkeys::signature, 0x5A4C564Bu);

    EXPECT_EQ(service.press(48, kOption), noErr);
    EXPECT_EQ(service.release(48, kOption), noErr);
    EXPECT_EQ(service.press(1, kCommand), noErr);
    EXPECT_EQ(log, (std::vector<std::string>{"a:down:48", "a:up:48", "c:down:1"}));
}

TEST_F(Registration, ForeignSignatureUnknownIdsAndOtherKindsAreNotHandled) {
    add(Shortcut(48, kOption), "a");
    EXPECT_EQ(CarbonHotkeys::dispatchCarbonEvent(nullptr), eventNotHandledErr);
    // A foreign signature, an unknown id, another kind of event.
    for (auto e :
         {hotKeyEvent(kEventHotKeyPressed, fourCharCode("XXXX"), 1),
          hotKeyEvent(kEventHotKeyPressed, CarbonHotkeys::signature, 99), hotKeyEvent(2, CarbonHotkeys::signature, 1)})
        EXPECT_EQ(CarbonHotkeys::dispatchCarbonEvent(&e), eventNotHandledErr) << e.hotKeyID->id;
    CarbonEvent noParameter;
    noParameter.kind = kEventHotKeyPressed;
    EXPECT_EQ(CarbonHotkeys::dispatchCarbonEvent(&noParameter), eventParameterNotFoundErr);
    EXPECT_TRUE(log.empty());
}

TEST_F(Registration, UnregisterRemovesEveryRecordOfTheShortcut) {
    add(Shortcut(48, kOption), "a");
    add(Shortcut(48, kOption), "b");
    add(Shortcut(48, kCommand), "c");
    CarbonHotkeys::unregisterHotKey(Shortcut(48, kOption));
    ASSERT_EQ(recordCount(), 1u);
    EXPECT_EQ(CarbonHotkeys::hotKeyTable().begin()->first, 3);
    EXPECT_EQ(service.registrations().size(), 1u);
}

TEST_F(Registration, DisablingAndEnablingKeepsIdsAndDropsRecordsTheSystemNowRefuses) {
    add(Shortcut(48, kOption), "a");
    add(Shortcut(0, kCommand), "b");

    setHotKeysEnabled(false);
    EXPECT_TRUE(service.registrations().empty());
    EXPECT_FALSE(service.handlerHasKind(kEventHotKeyPressed));
    EXPECT_EQ(recordCount(), 2u);
    for (auto& [id, record] : CarbonHotkeys::hotKeyTable()) EXPECT_FALSE(record->carbonHotKey);

    service.takeCombination(0, kCommand); // another program grabbed it meanwhile
    setHotKeysEnabled(true);
    ASSERT_EQ(recordCount(), 1u);
    EXPECT_EQ(service.registeredId(48, kOption), (EventHotKeyID{CarbonHotkeys::signature, 1}));
    EXPECT_TRUE(service.handlerHasKind(kEventHotKeyPressed));
    // A new registration still gets a fresh id.
    add(Shortcut(1, 0), "c");
    EXPECT_EQ(service.registeredId(1, 0), (EventHotKeyID{CarbonHotkeys::signature, 3}));
}

TEST_F(Registration, OpenMenuSuspendsHotKeysAndMatchesRawKeyEvents) {
    Name name("menuTest"); // subscribes to the menu-tracking notifications
    add(Shortcut(48, kOption), "a");

    center.post(MenuDidBeginTrackingNotification);
    EXPECT_TRUE(menuTracking());
    EXPECT_TRUE(service.registrations().empty());
    EXPECT_FALSE(service.handlerHasKind(kEventHotKeyPressed));
    EXPECT_TRUE(CarbonHotkeys::menuKeyMonitorRunning());

    auto tab = makeEvent(platform::EventType::KeyDown, 48, platform::ModifierOption | platform::ModifierCapsLock);
    EXPECT_FALSE(menuEvents.dispatch(tab)); // matched: the menu never sees it
    tab.type = platform::EventType::KeyUp;
    EXPECT_FALSE(menuEvents.dispatch(tab));
    const auto other = makeEvent(platform::EventType::KeyDown, 48, platform::ModifierOption | platform::ModifierShift);
    EXPECT_TRUE(menuEvents.dispatch(other)); // passed on unchanged
    EXPECT_EQ(log, (std::vector<std::string>{"a:down:48", "a:up:48"}));

    center.post(MenuDidEndTrackingNotification);
    EXPECT_FALSE(menuTracking());
    EXPECT_FALSE(CarbonHotkeys::menuKeyMonitorRunning());
    EXPECT_EQ(menuEvents.monitorCount(), 0u);
    EXPECT_EQ(service.registeredId(48, kOption), (EventHotKeyID{CarbonHotkeys::signature, 1}));
    EXPECT_EQ(service.press(48, kOption), noErr);
    EXPECT_EQ(log.size(), 3u);

    // Disabled: nothing is registered and an open menu changes nothing.
    setHotKeysEnabled(false);
    center.post(MenuDidBeginTrackingNotification);
    EXPECT_FALSE(CarbonHotkeys::menuKeyMonitorRunning());
    EXPECT_TRUE(service.registrations().empty());
}

TEST_F(Registration, RawKeyEventsIgnoreRecordsWithExtraStoredBits) {
    add(Shortcut::unnormalized(48, kOption | 0x400), "a");
    CarbonEvent raw;
    raw.kind = kEventRawKeyDown;
    raw.keyCode = 48;
    raw.modifiers = kOption | 0x400;
    EXPECT_EQ(CarbonHotkeys::dispatchCarbonEvent(&raw), eventNotHandledErr);
    raw.modifiers.reset();
    EXPECT_EQ(CarbonHotkeys::dispatchCarbonEvent(&raw), eventParameterNotFoundErr);
    EXPECT_TRUE(log.empty());
}
