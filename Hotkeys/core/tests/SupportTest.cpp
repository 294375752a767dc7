#include "Hotkeys/core/LocalEventMonitor.h"
#include "Hotkeys/core/ObjectAssociation.h"
#include "Hotkeys/core/Text.h"
#include "Hotkeys/core/tests/Events.h"
#include "platform/headless/HeadlessEventSource.h"

#include <gtest/gtest.h>

using namespace Hotkeys;

TEST(ObjectAssociation, InstancesAreIndependentSlotsClearedByNothingOrByTheOwner) {
    int object = 0, otherObject = 0;
    ObjectAssociation<std::string> first, second(AssociationPolicy::copy);
    first.set(&object, "one");
    second.set(&object, "two");
    first.set(&otherObject, "three");
    EXPECT_EQ(first.get(&object), "one");
    EXPECT_EQ(second.get(&object), "two");
    first.set(&object, std::nullopt);
    EXPECT_FALSE(first.get(&object));
    EXPECT_EQ(second.get(&object), "two");

    clearAssociations(&object);
    EXPECT_FALSE(second.get(&object));
    EXPECT_EQ(first.get(&otherObject), "three");

    // Another value type under the same slot reads as nothing.
    ObjectAssociation<int> typed;
    typed.set(&object, 5);
    EXPECT_EQ(typed.get(&object), 5);
    {
        ObjectAssociation<int> gone;
        gone.set(&object, 1);
    } // a destroyed association leaves nothing behind
    EXPECT_EQ(typed.get(&object), 5);
}

TEST(ObjectAssociation, RetainKeepsAliveAssignDoesNot) {
    int object = 0;
    ObjectAssociation<std::shared_ptr<int>> retained(AssociationPolicy::retainNonatomic);
    ObjectAssociation<std::shared_ptr<int>> assigned(AssociationPolicy::assign);
    auto value = std::make_shared<int>(7);
    std::weak_ptr<int> watch = value;
    retained.set(&object, value);
    assigned.set(&object, value);
    value.reset();
    EXPECT_FALSE(watch.expired());
    EXPECT_EQ(**assigned.get(&object), 7);
    retained.set(&object, std::nullopt);
    EXPECT_TRUE(watch.expired());
    EXPECT_FALSE(assigned.get(&object));
}

TEST(LocalEventMonitors, SwallowPassOnAndStopOnRelease) {
    platform::HeadlessEventSource source;
    const auto key = makeEvent(platform::EventType::KeyDown, 12);
    const auto click = makeEvent(platform::EventType::LeftMouseUp);
    int seen = 0;
    {
        LocalEventMonitor monitor(source, platform::EventMaskKeyDown, [&](const platform::Event& e) {
            ++seen;
            return e.keyCode == 12 ? std::nullopt : std::optional<platform::Event>(e);
        });
        EXPECT_TRUE(source.dispatch(key)); // not started yet
        monitor.start().start();
        EXPECT_EQ(source.monitorCount(), 1u);
        EXPECT_FALSE(source.dispatch(key));
        EXPECT_TRUE(source.dispatch(makeEvent(platform::EventType::KeyDown, 13)));
        EXPECT_TRUE(source.dispatch(click)); // outside the mask
    }
    EXPECT_EQ(source.monitorCount(), 0u);
    EXPECT_EQ(seen, 2);

    RunLoopLocalEventMonitor menuMonitor(source, platform::EventMaskKeyDown,
                                         [](const platform::Event&) { return std::nullopt; });
    menuMonitor.start();
    EXPECT_FALSE(source.dispatch(key));
    menuMonitor.stop();
    EXPECT_TRUE(source.dispatch(key));
    menuMonitor.start();
    EXPECT_TRUE(menuMonitor.isRunning());
}

TEST(KeyText, CapitalisationLowerCaseAndCharacterCount) {
    EXPECT_EQ(text::capitalized("a"), "A");
    EXPECT_EQ(text::capitalized("ü"), "Ü");
    EXPECT_EQ(text::capitalized("SPACE bar"), "Space Bar");
    EXPECT_EQ(text::lowercased("Q"), "q");
    EXPECT_EQ(text::lowercased("Ä"), "ä");
    EXPECT_EQ(text::characterCount("7\u20E3"), 1u);
    EXPECT_EQ(text::characterCount("?\u20DD"), 1u);
    EXPECT_EQ(text::characterCount("F1"), 2u);
    EXPECT_EQ(text::characterCount(""), 0u);
    EXPECT_EQ(text::capitalized("\xff"), "\uFFFD");
}
