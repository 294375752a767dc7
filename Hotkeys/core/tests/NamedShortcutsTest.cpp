#include "Hotkeys/testing/HotkeysFixture.h"

#include "Hotkeys/core/tests/FakeMenu.h"

using namespace Hotkeys;

namespace {

const Shortcut kOptionTab(Key::tab, EventModifiers(platform::ModifierOption));
const Shortcut kCmdK(Key::k, EventModifiers(platform::ModifierCommand));

} // namespace

class NamedShortcuts : public HotkeysTest {
protected:
    void SetUp() override {
        HotkeysTest::SetUp();
        center.addObserver(ShortcutByNameDidChangeNotification, nullptr, [this](const platform::Notification& n) {
            if (auto* name = n.info<Name>("name")) changes.push_back(name->rawValue);
        });
    }
    std::vector<std::string> changes;
};

TEST_F(NamedShortcuts, DefaultIsStoredOnceAndARemovalSurvivesTheNextRun) {
    Name name("showFloatingPanel", kOptionTab);
    EXPECT_EQ(defaults.stringForKey("Hotkeys_showFloatingPanel"), R"({"carbonKeyCode":48,"carbonModifiers":2048})");
    EXPECT_EQ(changes, std::vector<std::string>{"showFloatingPanel"});
    EXPECT_TRUE(service.registeredId(48, kOption));
    EXPECT_TRUE(activeShortcuts().count(kOptionTab));

    name.setCurrentShortcut(std::nullopt);
    EXPECT_EQ(defaults.storedObject("Hotkeys_showFloatingPanel"), platform::Value(false));
    EXPECT_TRUE(service.registrations().empty());
    EXPECT_TRUE(activeShortcuts().empty());

    // A later run: the false marker keeps the default away.
    SetUp();
    changes.clear();
    Name again("showFloatingPanel", kOptionTab);
    EXPECT_FALSE(again.currentShortcut());
    EXPECT_TRUE(changes.empty());
    EXPECT_TRUE(service.registrations().empty());
    resetToDefault({again});
    EXPECT_EQ(again.currentShortcut(), kOptionTab);
}

TEST_F(NamedShortcuts, NameWithoutDefaultRemovesItsEntryAndCorruptValuesReadAsNothing) {
    Name name("other");
    EXPECT_FALSE(defaults.storedObject("Hotkeys_other"));
    resetToDefault({name}); // nothing stored, nothing to remove
    EXPECT_TRUE(changes.empty());
    storeShortcut(kCmdK, name);
    storeShortcut(std::nullopt, name);
    EXPECT_FALSE(defaults.storedObject("Hotkeys_other"));
    EXPECT_EQ(changes, (std::vector<std::string>{"other", "other"}));

    for (platform::Value bad : {platform::Value(R"({"carbonKeyCode":40})"), platform::Value(true),
                                platform::Value(platform::Value::Data{'{', '}'}), platform::Value("garbage")}) {
        defaults.set("Hotkeys_other", bad);
        EXPECT_FALSE(storedShortcut(name));
        storeShortcut(std::nullopt, name); // finds nothing to remove: stays as it is
        EXPECT_EQ(defaults.storedObject("Hotkeys_other"), bad);
    }
    // A JSON value stored as data (not a string) is not a shortcut either.
    EXPECT_EQ(changes.size(), 2u);
}

TEST_F(NamedShortcuts, StoringReRegistersAndTwoNamesOnOneShortcutBothFire) {
    std::vector<std::string> fired;
    Name first("first", kCmdK);
    Name second("second");
    storeShortcut(kCmdK, second);
    addKeyDownHandler(first, [&] { fired.push_back("first-a"); });
    addKeyDownHandler(first, [&] { fired.push_back("first-b"); });
    addKeyDownHandler(second, [&] { fired.push_back("second"); });
    addKeyUpHandler(second, [&] { fired.push_back("second-up"); });

    service.press(40, kCommand);
    service.release(40, kCommand);
    EXPECT_EQ(fired, (std::vector<std::string>{"first-a", "first-b", "second", "second-up"}));

    // Storing the same shortcut again: unregistered, registered anew (new id), notified.
    auto before = service.registeredId(40, kCommand);
    changes.clear();
    storeShortcut(kCmdK, first);
    auto after = service.registeredId(40, kCommand);
    ASSERT_TRUE(before && after);
    EXPECT_GT(after->id, before->id);
    EXPECT_EQ(changes, std::vector<std::string>{"first"});

    // Moving one name away takes the shared hot key with it; the other's
    // handlers stay until it is registered again.
    storeShortcut(kOptionTab, first);
    EXPECT_FALSE(service.registeredId(40, kCommand));
    enableShortcuts({second});
    fired.clear();
    service.press(40, kCommand);
    EXPECT_EQ(fired, std::vector<std::string>{"second"});
}

TEST_F(NamedShortcuts, PausedHandlingAndDisabledNamesCallNothing) {
    int calls = 0;
    Name name("n", kCmdK);
    addKeyDownHandler(name, [&] { ++calls; });
    setHandlingPaused(true);
    EXPECT_EQ(service.press(40, kCommand), noErr);
    EXPECT_EQ(calls, 0);
    setHandlingPaused(false);
    service.press(40, kCommand);
    EXPECT_EQ(calls, 1);

    disableShortcuts({name});
    EXPECT_FALSE(service.press(40, kCommand));
    EXPECT_EQ(name.currentShortcut(), kCmdK);
    enableShortcuts({name});
    service.press(40, kCommand);
    EXPECT_EQ(calls, 2);
}

TEST_F(NamedShortcuts, RefusedRegistrationIsNotRetriedUntilUnregistered) {
    service.takeCombination(48, kOption);
    Name name("showFloatingPanel", kOptionTab);
    EXPECT_TRUE(activeShortcuts().count(kOptionTab));
    service.releaseCombination(48, kOption);
    addKeyDownHandler(name, [] {});
    EXPECT_FALSE(service.registeredId(48, kOption));
    disableShortcuts({name});
    enableShortcuts({name});
    EXPECT_TRUE(service.registeredId(48, kOption));
}

TEST_F(NamedShortcuts, StreamsDeliverUntilClearedOrEnded) {
    Name name("streamed", kCmdK);
    auto all = eventStream(name);
    auto ups = eventStream(EventType::keyUp, name);
    auto downsOnly = filteredEventStream(EventType::keyDown, name);
    std::vector<EventType> received;
    all.forEach([&](const EventType& t) { received.push_back(t); });

    service.press(40, kCommand);
    service.release(40, kCommand);
    EXPECT_EQ(received, (std::vector<EventType>{EventType::keyDown, EventType::keyUp}));
    EXPECT_EQ(ups.next(), EventType::keyUp);
    EXPECT_FALSE(ups.next());
    EXPECT_EQ(downsOnly.next(), EventType::keyDown);
    EXPECT_FALSE(downsOnly.next());

    // Ending one stream keeps the hot key for the others; ending the last drops it.
    ups.cancel();
    downsOnly.cancel();
    scheduler.runUntilIdle();
    EXPECT_TRUE(service.registeredId(40, kCommand));
    all.cancel();
    EXPECT_TRUE(service.registeredId(40, kCommand)); // removal runs on the main queue
    scheduler.runUntilIdle();
    EXPECT_FALSE(service.registeredId(40, kCommand));
    EXPECT_FALSE(activeShortcuts().count(kCmdK));

    // clearHandlers unregisters stream shortcuts too: subscribers hear nothing.
    auto again = eventStream(name);
    int plain = 0;
    addKeyDownHandler(name, [&] { ++plain; });
    clearHandlers();
    EXPECT_FALSE(service.press(40, kCommand));
    enableShortcuts({name});
    service.press(40, kCommand);
    EXPECT_EQ(plain, 0);                         // plain handlers are gone
    EXPECT_EQ(again.next(), EventType::keyDown); // the stream entry stayed
}

TEST_F(NamedShortcuts, StreamEndKeepsAShortcutAnotherNameStillUses) {
    Name a("a", kCmdK);
    Name b("b");
    storeShortcut(kCmdK, b);
    addKeyDownHandler(b, [] {});
    { auto stream = eventStream(a); }
    scheduler.runUntilIdle();
    EXPECT_TRUE(service.registeredId(40, kCommand));
}

TEST_F(NamedShortcuts, MenuItemFollowsTheNameUntilUnbound) {
    Name name("menu", kCmdK);
    Name other("unrelated");
    auto item = std::make_unique<FakeMenuItem>();
    setMenuShortcut(*item, name);
    EXPECT_EQ(item->equivalent, "k");
    EXPECT_EQ(item->mask, std::uint64_t(platform::ModifierCommand));
    EXPECT_FALSE(item->localizes);

    storeShortcut(Shortcut(Key::f2, EventModifiers(platform::ModifierShift)), name);
    EXPECT_EQ(item->equivalent, "\uF705");
    EXPECT_EQ(item->mask, std::uint64_t(platform::ModifierShift));
    storeShortcut(kOptionTab, other);
    EXPECT_EQ(item->equivalent, "\uF705");
    storeShortcut(std::nullopt, name);
    EXPECT_EQ(item->equivalent, "");
    EXPECT_EQ(item->mask, 0u);
    EXPECT_TRUE(item->localizes);

    const auto observers = center.observerCount();
    setMenuShortcut(*item, std::nullopt);
    EXPECT_EQ(center.observerCount(), observers - 1);
    storeShortcut(kCmdK, name);
    EXPECT_EQ(item->equivalent, "");

    // A destroyed item takes its subscription with it.
    setMenuShortcut(*item, name);
    item.reset();
    EXPECT_EQ(center.observerCount(), observers - 1);
    storeShortcut(kOptionTab, name); // would touch the freed item otherwise
}
