#include "Hotkeys/qt/QtMenuItem.h"
#include "Hotkeys/qt/QtMenuTracker.h"
#include "Hotkeys/testing/HotkeysFixture.h"
#include "platform/linux/qt/testing/TestApplication.h"

#include <QAction>
#include <QApplication>
#include <QMenu>

#include <gtest/gtest.h>

using namespace Hotkeys;

namespace {

constexpr std::uint64_t kCmd = platform::ModifierCommand, kShiftFlag = platform::ModifierShift;

} // namespace

// The shared fixture gives key names from the US layout.
using QtMenus = HotkeysTest;

TEST_F(QtMenus, ActionShortcutsReadAsKeyEquivalentsAndConflictsAreFound) {
    platform::qt::testApplication();

    QMenu menu;
    QAction* quit = menu.addAction("Quit");
    quit->setShortcut(QKeySequence(Qt::META | Qt::SHIFT | Qt::Key_Q));
    QMenu* sub = menu.addMenu("More");
    QAction* find = sub->addAction("Find");
    find->setShortcut(QKeySequence(Qt::META | Qt::Key_F));
    QAction* help = menu.addAction("Help");
    help->setShortcut(QKeySequence(Qt::Key_F1));

    QtMenu adapter(&menu);
    auto items = adapter.items();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0]->keyEquivalent(), "q");
    EXPECT_EQ(items[0]->keyEquivalentModifierMask(), kCmd | kShiftFlag);
    EXPECT_EQ(items[2]->keyEquivalent(), "\uF704");

    auto* hit = Shortcut(Key::q, EventModifiers(kCmd | kShiftFlag)).conflictingMenuItem(adapter);
    ASSERT_TRUE(hit);
    EXPECT_EQ(static_cast<const QtMenuItem*>(hit)->action(), quit);
    hit = Shortcut(Key::f, EventModifiers(kCmd)).conflictingMenuItem(adapter);
    ASSERT_TRUE(hit);
    EXPECT_EQ(static_cast<const QtMenuItem*>(hit)->action(), find);
    EXPECT_FALSE(Shortcut(Key::f, EventModifiers(kCmd | kShiftFlag)).conflictingMenuItem(adapter));

    // Writing a shortcut's key equivalent sets the action's shortcut.
    QtMenuItem item(help);
    applyMenuShortcut(item, Shortcut(Key::returnKey, EventModifiers(platform::ModifierControl)));
    EXPECT_EQ(help->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Return));
    applyMenuShortcut(item, Shortcut(Key::k, EventModifiers(platform::ModifierOption)));
    EXPECT_EQ(help->shortcut(), QKeySequence(Qt::ALT | Qt::Key_K));
    applyMenuShortcut(item, std::nullopt);
    EXPECT_TRUE(help->shortcut().isEmpty());
}

TEST_F(QtMenus, TrackingSpansNestedMenusAndEndsWhenAMenuIsDestroyedOpen) {
    platform::qt::testApplication();
    std::vector<std::string> posts;
    center.addObserver("", nullptr, [&](const platform::Notification& n) { posts.push_back(n.name); });
    QtMenuTracker tracker(center);

    QMenu outer;
    outer.addAction("x");
    QMenu* inner = outer.addMenu("sub");
    inner->addAction("y");
    outer.popup(QPoint(10, 10));
    inner->popup(QPoint(40, 40));
    inner->hide();
    EXPECT_TRUE(tracker.tracking());
    outer.hide();
    EXPECT_FALSE(tracker.tracking());
    EXPECT_EQ(posts, (std::vector<std::string>{MenuDidBeginTrackingNotification, MenuDidEndTrackingNotification}));

    auto* doomed = new QMenu;
    doomed->addAction("z");
    doomed->popup(QPoint(5, 5));
    EXPECT_TRUE(tracker.tracking());
    delete doomed;
    EXPECT_FALSE(tracker.tracking());
    EXPECT_EQ(posts.size(), 4u);
}
