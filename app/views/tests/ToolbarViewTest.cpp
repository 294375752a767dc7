#include "ViewFixture.h"

#include <QEnterEvent>
#include <QMenu>

using namespace app;
using namespace app::views;

TEST_F(ViewFixture, PinButtonStoresIsPinnedAndShowsItsState) {
    auto& toolbar = *view().toolbar();
    PinButton& pin = *toolbar.pinButton();
    EXPECT_FALSE(pin.isPinned());
    EXPECT_FALSE(pin.isFilled());
    EXPECT_DOUBLE_EQ(pin.rotation(), 30.0);
    EXPECT_NE(pin.tint(), QColor(0, 122, 255));

    pin.click();
    EXPECT_EQ(defaults.storedObject(kIsPinned), std::optional<platform::Value>(true));
    EXPECT_TRUE(pin.isFilled());
    EXPECT_DOUBLE_EQ(pin.rotation(), 0.0);
    EXPECT_EQ(pin.tint(), QColor(0, 122, 255));

    pin.click();
    EXPECT_EQ(defaults.storedObject(kIsPinned), std::optional<platform::Value>(false));
    EXPECT_DOUBLE_EQ(pin.rotation(), 30.0);

    // Hovering colours and enlarges it.
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(&pin, &enter);
    EXPECT_EQ(pin.tint(), QColor(0, 122, 255));
    EXPECT_DOUBLE_EQ(pin.scale(), 1.2);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&pin, &leave);
    EXPECT_DOUBLE_EQ(pin.scale(), 1.0);
}

TEST_F(ViewFixture, ToolbarReadsAStoredPinAndItsMenuReachesTheDelegate) {
    defaults.set(kIsPinned, true);
    auto& toolbar = *view().toolbar();
    EXPECT_TRUE(toolbar.isPinned());

    QStringList titles;
    for (QAction* action : toolbar.menu()->actions()) titles << (action->isSeparator() ? "-" : action->text());
    EXPECT_EQ(titles.join("|").toStdString(),
              "About|More Apps|Check for Updates|-|Settings|-|Feedback/Contact Us|-|Subscribe to Beta Updates|-|Quit");

    auto trigger = [&](const char* title) {
        for (QAction* action : toolbar.menu()->actions())
            if (action->text() == title) action->trigger();
    };
    trigger("About");
    EXPECT_EQ(shell.aboutPanels, 1);
    trigger("Feedback/Contact Us");
    ASSERT_EQ(workspace.openedURLs().size(), 1u);
    EXPECT_EQ(workspace.openedURLs().back(), platform::Deployment::defaults().contactURL);
    trigger("Quit");
    EXPECT_EQ(shell.terminations, 1);
}
