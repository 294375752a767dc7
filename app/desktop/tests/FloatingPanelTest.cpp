#include "app/desktop/FloatingPanel.h"
#include "app/desktop/PanelFrame.h"
#include "platform/headless/ManualScheduler.h"
#include "platform/linux/qt/testing/TestApplication.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <tuple>

using namespace app;
using namespace app::desktop;

namespace {

class PanelTest : public ::testing::Test {
protected:
    PanelTest() { platform::qt::testApplication(); }

    std::unique_ptr<FloatingPanel> makePanel(bool pinned) {
        FloatingPanelOptions options{Rect{0, 0, 200, 120}, false, !pinned, pinned};
        return std::make_unique<FloatingPanel>(options, defaults, scheduler.mainQueue());
    }
    // The origin of the stored frame, if a frame is stored.
    std::optional<std::pair<double, double>> saved() {
        auto data = defaults.dataForKey(FloatingPanel::kUserDefaultsFrameKey);
        auto frame = data ? decodePanelFrame(*data) : std::nullopt;
        return frame ? std::optional(std::pair(frame->x, frame->y)) : std::nullopt;
    }
    QPoint centredOrigin(const QWidget& w) {
        QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        return QPoint(area.x() + (area.width() - w.width()) / 2, area.y() + (area.height() - w.height()) / 2);
    }

    platform::ManualScheduler scheduler;
    platform::UserDefaults defaults;
};

} // namespace

TEST(PanelFrame, RoundTripIsExactAndForeignValuesAreRefused) {
    Rect odd{-1234.5, 1e-300, 0.1 + 0.2, 1e15 + 1};
    auto back = decodePanelFrame(encodePanelFrame(odd));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, odd); // bit for bit, not approximately

    auto data = encodePanelFrame(Rect{1, 2, 3, 4});
    EXPECT_FALSE(decodePanelFrame({}));
    EXPECT_FALSE(decodePanelFrame(platform::Value::Data(data.begin(), data.end() - 1)));
    auto wrongTag = data;
    wrongTag[0] = 'X';
    EXPECT_FALSE(decodePanelFrame(wrongTag));
    EXPECT_FALSE(decodePanelFrame(encodePanelFrame(Rect{0, 0, 0, 10})));
    EXPECT_FALSE(decodePanelFrame(encodePanelFrame(Rect{std::numeric_limits<double>::quiet_NaN(), 0, 10, 10})));
    EXPECT_FALSE(decodePanelFrame(encodePanelFrame(Rect{0, 0, std::numeric_limits<double>::infinity(), 10})));
}

TEST_F(PanelTest, PinnedPanelComesBackWhereItWasSavedAndUnpinnedIsCentred) {
    defaults.set(FloatingPanel::kUserDefaultsFrameKey, encodePanelFrame(Rect{50, 60, 210, 130}));
    auto panel = makePanel(true);
    panel->makeKeyAndOrderFront();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->frameGeometry(), QRect(50, 60, 210, 130));
    panel->orderOut();
    EXPECT_FALSE(panel->isVisible());

    panel->setRestoreWindowPosition(false);
    panel->makeKeyAndOrderFront();
    EXPECT_EQ(panel->frameGeometry().topLeft(), centredOrigin(*panel));
}

TEST(PanelFrame, SavedFramesGoOnlyOntoConnectedScreens) {
    // Two monitors side by side; the right one lower and smaller.
    const std::vector<Rect> screens{{0, 0, 1920, 1080}, {1920, 200, 1280, 800}};
    struct Case {
        const char* what;
        Rect saved;
        std::optional<Rect> placed;
    } cases[] = {
        {"on the left screen", {100, 100, 300, 400}, Rect{100, 100, 300, 400}},
        {"on the right screen", {2000, 300, 300, 400}, Rect{2000, 300, 300, 400}},
        {"over the right edge of the right screen", {3000, 300, 300, 400}, Rect{2900, 300, 300, 400}},
        {"taller than the right screen", {2000, 300, 300, 1000}, Rect{2000, 200, 300, 800}},
        {"on a monitor since unplugged", {3500, 100, 300, 400}, std::nullopt},
        {"above the lower right screen", {2000, 0, 300, 300}, std::nullopt},
        {"far out of range", {1e12, -1e12, 300, 400}, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(placeSavedFrame(c.saved, screens), c.placed) << c.what;
}

TEST_F(PanelTest, SavedFrameOffEveryScreenIsCentred) {
    for (Rect off : {Rect{-5000, 60, 210, 130}, Rect{1e12, 1e12, 210, 130}}) {
        defaults.set(FloatingPanel::kUserDefaultsFrameKey, encodePanelFrame(off));
        auto panel = makePanel(true);
        panel->orderFront();
        EXPECT_EQ(panel->frameGeometry().size(), QSize(200, 120));
        EXPECT_EQ(panel->frameGeometry().topLeft(), centredOrigin(*panel)) << off.x;
    }
}

TEST_F(PanelTest, ForeignSavedValueCentresAndStaysStored) {
    defaults.set(FloatingPanel::kUserDefaultsFrameKey, std::string("{{1, 2}, {3, 4}}"));
    auto panel = makePanel(true);
    panel->makeKeyAndOrderFront();
    EXPECT_EQ(panel->frameGeometry().topLeft(), centredOrigin(*panel));
    EXPECT_EQ(defaults.stringForKey(FloatingPanel::kUserDefaultsFrameKey),
              std::optional<std::string>("{{1, 2}, {3, 4}}"));
}

TEST_F(PanelTest, MovesSaveOnceFiveSecondsAfterTheLast) {
    auto panel = makePanel(true);
    panel->makeKeyAndOrderFront();
    scheduler.advance(platform::Seconds(6)); // the showing itself may move it
    defaults.remove(FloatingPanel::kUserDefaultsFrameKey);

    panel->move(100, 100);
    EXPECT_TRUE(panel->isManuallyMoved());
    scheduler.advance(platform::Seconds(3));
    panel->move(300, 200);
    scheduler.advance(platform::Seconds(4.9));
    EXPECT_FALSE(saved()) << "saved before 5 s had passed since the last move";
    scheduler.advance(platform::Seconds(0.2));
    EXPECT_EQ(saved(), std::pair(300.0, 200.0));
    EXPECT_FALSE(panel->isManuallyMoved());

    // Unpinned panels do not save their moves.
    defaults.remove(FloatingPanel::kUserDefaultsFrameKey);
    panel->setRestoreWindowPosition(false);
    panel->move(10, 10);
    scheduler.advance(platform::Seconds(10));
    EXPECT_FALSE(saved());
}

TEST_F(PanelTest, HidingRightAfterAMoveKeepsTheNewPlace) {
    auto panel = makePanel(true);
    panel->makeKeyAndOrderFront();
    scheduler.advance(platform::Seconds(6));
    panel->move(420, 240);
    panel->orderOut(); // within the 5 s
    EXPECT_EQ(saved(), std::pair(420.0, 240.0));
    panel->makeKeyAndOrderFront();
    EXPECT_EQ(panel->frameGeometry().topLeft(), QPoint(420, 240));
    // The pending delayed save was replaced, not repeated later.
    defaults.remove(FloatingPanel::kUserDefaultsFrameKey);
    scheduler.advance(platform::Seconds(10));
    EXPECT_FALSE(saved());
}

TEST_F(PanelTest, LosingFocusClosesOnlyAnUnpinnedPanelAndClosingSavesAPinnedOne) {
    auto unpinned = makePanel(false);
    unpinned->makeKeyAndOrderFront();
    unpinned->resignMain();
    EXPECT_FALSE(unpinned->isVisible());
    EXPECT_FALSE(saved()) << "an unpinned panel does not save its frame";

    auto pinned = makePanel(true);
    pinned->makeKeyAndOrderFront();
    EXPECT_TRUE(pinned->isKeyWindow());
    pinned->resignMain();
    EXPECT_TRUE(pinned->isVisible());
    EXPECT_FALSE(pinned->isKeyWindow()); // the keys go to the application the user went to
    pinned->move(77, 88);
    pinned->closePanel();
    EXPECT_FALSE(pinned->isVisible());
    EXPECT_EQ(saved(), std::pair(77.0, 88.0));
}

// The panel holds the keyboard until a press outside Zelvo's windows or a
// move of the focus to another of them.
TEST_F(PanelTest, KeyboardIsGivenBackOnAPressOutsideOrAFocusMoveAway) {
    const std::vector<std::tuple<const char*, std::function<void(FloatingPanel&)>, bool>> cases = {
        {"a press into the panel", [](FloatingPanel& p) { p.pointerPressed(p.geometry().center()); }, true},
        {"a press outside", [](FloatingPanel& p) { p.pointerPressed(p.geometry().bottomRight() + QPoint(40, 40)); },
         false},
        {"the focus on the panel", [](FloatingPanel& p) { p.focusMoved(p.windowHandle()); }, true},
        {"the focus on another program, as Qt reports it late", [](FloatingPanel& p) { p.focusMoved(nullptr); }, true},
        {"the focus on another Zelvo window",
         [](FloatingPanel& p) {
             QWindow other;
             p.focusMoved(&other);
         },
         false},
    };
    auto panel = makePanel(true);
    for (const auto& [what, event, keeps] : cases) {
        panel->makeKeyAndOrderFront();
        event(*panel);
        EXPECT_EQ(panel->isKeyWindow(), keeps) << what;
    }
}

TEST_F(PanelTest, TheTwoFlavours) {
    auto switcher = makePanel(false);
    EXPECT_TRUE(switcher->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(switcher->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(switcher->windowFlags() & Qt::WindowDoesNotAcceptFocus);
    EXPECT_TRUE(switcher->testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_NEAR(switcher->windowOpacity(), 0.9, 0.01);
    EXPECT_EQ(switcher->size(), QSize(200, 120));

    FloatingPanel settings(FloatingPanelOptions{Rect{0, 0, 600, 600}, true, false, false}, defaults,
                           scheduler.mainQueue());
    EXPECT_FALSE(settings.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(settings.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(settings.windowFlags() & Qt::WindowMinMaxButtonsHint);
    EXPECT_EQ(settings.size(), QSize(600, 600));
    settings.setShowsInTaskbar(false);
    EXPECT_EQ(settings.windowFlags() & Qt::Tool, Qt::Tool);
    settings.setShowsInTaskbar(true);
    EXPECT_NE(settings.windowFlags() & Qt::Tool, Qt::Tool);
}
