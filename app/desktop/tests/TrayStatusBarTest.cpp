#include "app/core/AppDelegate.h"
#include "app/desktop/TrayStatusBar.h"
#include "platform/linux/qt/testing/TestApplication.h"

#include <QApplication>
#include <QMenu>

#include <gtest/gtest.h>

using namespace app;

namespace {

// Answers the menu like the delegate: item 1's title carries a counter that
// changes on every opening.
class CountingTarget : public StatusMenuTarget {
public:
    bool validateMenuItem(MenuItem& item) override {
        if (item.tag == 1000) item.title = "Show Zelvo           #" + std::to_string(++openings);
        return item.action != MenuAction::CheckForUpdates || updatesEnabled;
    }
    void performMenuAction(MenuAction action) override { chosen.push_back(action); }
    int openings = 0;
    bool updatesEnabled = true;
    std::vector<MenuAction> chosen;
};

} // namespace

TEST(TrayStatusBar, RendersTheThirteenItemsAndValidatesThemOnEveryOpening) {
    platform::qt::testApplication();
    desktop::TrayStatusBar tray;
    CountingTarget target;
    tray.createStatusItem("StatusBarIcon", true, AppDelegate::makeStatusMenu(), target);
    QMenu* menu = tray.menu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title(), "Zelvo");

    QStringList shape;
    for (QAction* a : menu->actions()) shape << (a->isSeparator() ? "-" : a->text());
    ASSERT_EQ(shape.size(), 13);
    EXPECT_EQ(
        shape.mid(1).join("|").toStdString(),
        "-|About|More Apps|-|Settings|Check for Updates|-|-|Feedback/Contact Us|Subscribe to Beta Updates|-|Quit");

    emit menu->aboutToShow();
    EXPECT_EQ(menu->actions()[0]->text().toStdString(), "Show Zelvo           #1");
    target.updatesEnabled = false;
    emit menu->aboutToShow();
    EXPECT_EQ(menu->actions()[0]->text().toStdString(), "Show Zelvo           #2");
    EXPECT_FALSE(menu->actions()[6]->isEnabled());

    menu->actions()[0]->trigger();
    menu->actions()[12]->trigger();
    EXPECT_EQ(target.chosen, (std::vector<MenuAction>{MenuAction::ShowPanel, MenuAction::Quit}));

    // One status item for the life of the program.
    tray.createStatusItem("StatusBarIcon", true, AppDelegate::makeStatusMenu(), target);
    EXPECT_EQ(tray.menu(), menu);
}
