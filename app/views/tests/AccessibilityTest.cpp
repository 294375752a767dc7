// What assistive technology reads from the switcher: the list with one named
// item per application in the list's order, the highlighted item selected
// and focused, the toolbar's named buttons and the named panel.

#include "ViewFixture.h"

#include "app/desktop/FloatingPanel.h"
#include "app/views/Accessibility.h"

#include <QAccessible>
#include <QAccessibleActionInterface>

using namespace app;
using namespace app::views;

namespace {

QAccessibleInterface* accessible(QObject* object) { return QAccessible::queryAccessibleInterface(object); }

std::vector<std::string> itemNames(QAccessibleInterface* list) {
    std::vector<std::string> names;
    for (int i = 0; i < list->childCount(); ++i) names.push_back(list->child(i)->text(QAccessible::Name).toStdString());
    return names;
}

} // namespace

TEST_F(ViewFixture, ListItemsAreNamedWithTheirDigitInTheListsOrderAndTheHighlightIsSelected) {
    std::vector<platform::HeadlessApplicationPtr> apps;
    for (int i = 0; i < 11; ++i) apps.push_back(launch("App" + std::string(1, char('a' + i)), 600 + i));
    auto& content = laidOutView();

    auto* row = accessible(content.rows()[0]);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->role(), QAccessible::ListItem);
    QAccessibleInterface* list = row->parent();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->role(), QAccessible::List);
    EXPECT_EQ(list->text(QAccessible::Name), "Applications");
    // No digit from the eleventh row on.
    EXPECT_EQ(itemNames(list), (std::vector<std::string>{"0 Appa", "1 Appb", "2 Appc", "3 Appd", "4 Appe", "5 Appf",
                                                         "6 Appg", "7 Apph", "8 Appi", "9 Appj", "Appk"}));

    // A row made later for an application sorted in between is listed where
    // the list shows it, and the digits after it move on.
    launch(std::string("Appaa"), 650);
    content.layoutIfNeeded();
    EXPECT_EQ(itemNames(list), (std::vector<std::string>{"0 Appa", "1 Appaa", "2 Appb", "3 Appc", "4 Appd", "5 Appe",
                                                         "6 Appf", "7 Appg", "8 Apph", "9 Appi", "Appj", "Appk"}));
    EXPECT_EQ(list->indexOfChild(accessible(content.rows()[1])), 1);

    auto selectedItems = [&] {
        std::vector<std::string> selected;
        for (int i = 0; i < list->childCount(); ++i) {
            auto state = list->child(i)->state();
            EXPECT_EQ(bool(state.selected), bool(state.focused));
            EXPECT_TRUE(state.selectable);
            if (state.selected) selected.push_back(list->child(i)->text(QAccessible::Name).toStdString());
        }
        return selected;
    };
    content.show(); // items are focused only while they are on screen
    EXPECT_TRUE(selectedItems().empty());
    delegate.appList().selectApp(3);
    EXPECT_EQ(selectedItems(), std::vector<std::string>{"3 Appc"});
    delegate.appList().selectNext();
    EXPECT_EQ(selectedItems(), std::vector<std::string>{"4 Appd"});
    // A filter: the items and their digits are the rows shown.
    delegate.appList().setFilter("pk");
    content.layoutIfNeeded();
    EXPECT_EQ(itemNames(list), std::vector<std::string>{"0 Appk"});
    EXPECT_EQ(selectedItems(), std::vector<std::string>{"0 Appk"});
    delegate.appList().setFilter("");
    content.layoutIfNeeded();

    // The item's press action switches like a click.
    auto* action = list->child(2)->actionInterface();
    ASSERT_NE(action, nullptr);
    action->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(apps[1]->activations().size(), 1u);

    // Nameless applications are read as "App".
    workspace.terminate(apps[10]);
    launch(std::nullopt, 651);
    content.layoutIfNeeded();
    auto names = itemNames(list);
    EXPECT_EQ(std::count_if(names.begin(), names.end(),
                            [](const std::string& n) { return n.size() > 4 && n.substr(n.size() - 4) == " App"; }),
              1);
}

TEST_F(ViewFixture, ToolbarButtonsAndThePanelHaveNames) {
    auto& toolbar = *view().toolbar();
    auto* pin = accessible(toolbar.pinButton());
    ASSERT_NE(pin, nullptr);
    EXPECT_EQ(pin->role(), QAccessible::Button);
    EXPECT_EQ(pin->text(QAccessible::Name), "Pin");
    EXPECT_TRUE(pin->state().checkable);
    EXPECT_FALSE(pin->state().checked);
    pin->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(defaults.storedObject(kIsPinned), std::optional<platform::Value>(true));
    EXPECT_EQ(pin->text(QAccessible::Name), "Unpin");
    EXPECT_TRUE(pin->state().checked);

    auto* menu = accessible(toolbar.menuButton());
    EXPECT_EQ(menu->text(QAccessible::Name), "Menu");
    EXPECT_FALSE(menu->text(QAccessible::Description).isEmpty());

    FloatingPanelOptions switcher{Rect{0, 0, 200, 200}, false, true, false};
    desktop::FloatingPanel panel(switcher, defaults, scheduler.mainQueue());
    auto* window = accessible(&panel);
    EXPECT_EQ(window->role(), QAccessible::Window);
    EXPECT_EQ(window->text(QAccessible::Name), "Zelvo switcher");
    EXPECT_FALSE(window->state().active); // active only while it is up
}
