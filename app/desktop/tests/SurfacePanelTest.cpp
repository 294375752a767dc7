#include "app/desktop/FloatingPanel.h"
#include "app/desktop/MenuRequest.h"
#include "app/desktop/PanelFrame.h"
#include "app/desktop/QtHostingView.h"
#include "app/desktop/SurfacePanel.h"
#include "platform/linux/desktop/PanelSurface.h"
#include "platform/linux/qt/testing/TestApplication.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <vector>

using namespace app;
using namespace app::desktop;
using platform::desktop::PointerEvent;

namespace {

// A surface in memory: what the panel maps, sizes and draws, and a way to
// feed it input as a compositor would.
class MemorySurface : public platform::desktop::PanelSurface {
public:
    void setInput(Input input) override { input_ = std::move(input); }
    void map(int width, int height, bool takeKeyboard, std::optional<std::pair<int, int>> place) override {
        mapped_ = true;
        resize(width, height);
        takesKeyboard_ = takeKeyboard;
        place_ = place;
    }
    std::vector<Area> outputs() const override { return outputs_; }
    std::optional<Area> frame() const override {
        auto at = place_.value_or(std::pair(outputs_[0].x + (outputs_[0].width - width_) / 2,
                                            outputs_[0].y + (outputs_[0].height - height_) / 2));
        return Area{at.first, at.second, width_, height_};
    }
    void moveTo(int x, int y) override { place_ = std::pair(x, y); }
    void unmap() override { mapped_ = false; }
    bool mapped() const override { return mapped_; }
    void setTakesKeyboard(bool value) override { takesKeyboard_ = value; }
    bool takesKeyboard() const override { return takesKeyboard_; }
    bool hasKeyboard() const override { return mapped_ && takesKeyboard_; }
    void resize(int width, int height) override {
        width_ = width;
        height_ = height;
    }
    void reportModifiersAtNextEnter() override {}
    void repeatKey() override {}
    std::optional<Pixels> beginFrame() override {
        pixels_.assign(std::size_t(width_) * std::size_t(height_), 0);
        return Pixels{pixels_.data(), width_, height_, width_ * 4, 1};
    }
    void endFrame() override { ++frames_; }

    void key(std::uint16_t code, platform::EventType type = platform::EventType::KeyDown) {
        platform::Event event;
        event.type = type;
        event.keyCode = code;
        input_.key(event);
    }
    void click(QPoint at, int button = 1) {
        input_.pointer({PointerEvent::Kind::Motion, double(at.x()), double(at.y())});
        input_.pointer({PointerEvent::Kind::Press, double(at.x()), double(at.y()), button});
        input_.pointer({PointerEvent::Kind::Release, double(at.x()), double(at.y()), button});
    }
    std::uint32_t alphaAt(QPoint at) const { return pixels_[std::size_t(at.y() * width_ + at.x())] >> 24; }

    Input input_;
    std::vector<Area> outputs_{{0, 0, 1000, 800}, {1000, 0, 500, 400}};
    std::optional<std::pair<int, int>> place_;
    bool mapped_ = false, takesKeyboard_ = false;
    int width_ = 0, height_ = 0, frames_ = 0;
    std::vector<std::uint32_t> pixels_;
};

class WidgetView : public QtHostingView {
public:
    explicit WidgetView(QWidget* widget) : widget_(widget) {}
    QWidget* widget() override { return widget_; }
    Size fittingSize() override { return {double(widget_->width()), double(widget_->height())}; }
    void layoutIfNeeded() override {}

private:
    QWidget* widget_;
};

class SurfacePanelTest : public ::testing::Test {
protected:
    SurfacePanelTest() {
        for (const char* title : {"About", "More Apps", "", "Settings", "Quit"}) {
            QAction* item = *title ? menu.addAction(title) : menu.addSeparator(); // "": a separator
            QObject::connect(item, &QAction::triggered, [this, title] { triggered.push_back(title); });
        }
        auto* content = new QWidget;
        content->resize(240, 60);
        panel.setContentView(std::make_shared<WidgetView>(content));
        panel.setContentSize({240, 60});
        panel.makeKeyAndOrderFront();
    }
    // What the toolbar's menu button does: the menu's corner under the
    // button at the panel's right edge.
    void openMenu() {
        MenuRequest request(&menu, QPoint(236, 30));
        QApplication::sendEvent(panel.content(), &request);
        ASSERT_TRUE(request.isAccepted());
        ASSERT_TRUE(panel.menu());
    }
    // The centre of a menu item, in surface coordinates (the panel centred
    // in the grown surface).
    QPoint itemCentre(int index) {
        const QPoint panelCorner((surface.width_ - panel.content()->width()) / 2,
                                 (surface.height_ - panel.content()->height()) / 2);
        return panelCorner + panel.menuOrigin() + panel.menu()->items()[std::size_t(index)].second.center();
    }

    // Before any widget.
    bool application = (platform::qt::testApplication(), true);
    MemorySurface surface;
    platform::UserDefaults defaults;
    std::vector<platform::Event> keys;
    SurfacePanel panel{surface,
                       FloatingPanelOptions{Rect{0, 0, 240, 60}},
                       defaults,
                       [this](const platform::Event& event) { keys.push_back(event); },
                       {}};
    QMenu menu;
    std::vector<std::string> triggered;
};

} // namespace

TEST_F(SurfacePanelTest, TheToolbarMenuIsDrawnInTheSurfaceAndItsItemsWork) {
    enum Key : std::uint16_t { kReturn = 36, kEscape = 53, kDown = 125, kUp = 126, kA = 0 };
    struct Case {
        const char* name;
        std::vector<std::uint16_t> keys;
        int clickItem; // -1: none; -2: beside the menu
        std::vector<std::string> triggered;
    } cases[] = {
        {"Down picks the first item", {kDown, kReturn}, -1, {"About"}},
        {"Down skips the separator", {kDown, kDown, kDown, kReturn}, -1, {"Settings"}},
        {"Up from nothing picks the last", {kUp, kReturn}, -1, {"Quit"}},
        {"Return on nothing keeps the menu", {kReturn, kA, kEscape}, -1, {}},
        {"Escape closes it", {kDown, kEscape}, -1, {}},
        {"a click on an item", {}, 2, {"Settings"}},
        {"a click beside it only closes it", {}, -2, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        triggered.clear();
        keys.clear();
        const auto panelSize = std::pair(surface.width_, surface.height_);
        openMenu();
        // The surface grows on every side alike, so that the centred panel
        // stays where it was, and the menu's pixels are drawn into it.
        EXPECT_GT(surface.height_, panelSize.second);
        EXPECT_EQ((surface.height_ - panelSize.second) % 2, 0);
        QApplication::processEvents();
        EXPECT_NE(surface.alphaAt(itemCentre(0)), 0u);
        if (c.clickItem >= 0) surface.click(itemCentre(c.clickItem));
        if (c.clickItem == -2) surface.click({2, 2});
        for (auto key : c.keys) surface.key(key);
        QApplication::processEvents();
        EXPECT_EQ(triggered, c.triggered);
        // The menu had the keys to itself; afterwards the panel has them again.
        EXPECT_TRUE(keys.empty());
        EXPECT_FALSE(panel.menu());
        EXPECT_EQ(std::pair(surface.width_, surface.height_), panelSize);
        surface.key(kA);
        EXPECT_EQ(keys.size(), 1u);
    }
}

TEST_F(SurfacePanelTest, ScrollingOverTheListScrollsIt) {
    auto* scroll = new QScrollArea;
    auto* tall = new QWidget;
    tall->setFixedSize(200, 2000);
    scroll->setWidget(tall);
    scroll->resize(240, 60);
    panel.setContentView(std::make_shared<WidgetView>(scroll));
    QApplication::processEvents();
    surface.input_.pointer({PointerEvent::Kind::Motion, 100, 30});
    surface.input_.pointer({PointerEvent::Kind::Scroll, 100, 30, 0, 2});
    EXPECT_GT(scroll->verticalScrollBar()->value(), 0);
}

TEST_F(SurfacePanelTest, APinnedPanelIsDraggedByItsBackgroundAndComesBackThereOnTheOutputsThereAreNow) {
    using Place = std::optional<std::pair<int, int>>;
    panel.setRestoreWindowPosition(true);
    // Dragging the background 30 right and 20 down from the centre of the
    // first output saves that place, which the next showing uses.
    panel.orderOut();
    panel.makeKeyAndOrderFront();
    ASSERT_EQ(surface.place_, Place());
    const auto centred = *surface.frame();
    const int width = surface.width_, height = surface.height_;
    surface.input_.pointer({PointerEvent::Kind::Press, 10, 10, 1});
    surface.input_.pointer({PointerEvent::Kind::Motion, 40, 30});
    surface.input_.pointer({PointerEvent::Kind::Release, 40, 30, 1});
    auto saved = decodePanelFrame(*defaults.dataForKey(FloatingPanel::kUserDefaultsFrameKey));
    ASSERT_TRUE(saved);
    EXPECT_EQ(*saved, (Rect{double(centred.x + 30), double(centred.y + 20), double(width), double(height)}));
    panel.orderOut();
    panel.makeKeyAndOrderFront();
    EXPECT_EQ(surface.place_, Place(std::pair(centred.x + 30, centred.y + 20)));

    struct Case {
        Rect saved;
        Place expected;
    } cases[] = {
        {{1100, 50, 240, 60}, std::pair(1100, 50)},                    // on the second output
        {{1300, 360, 240, 60}, std::pair(1500 - width, 400 - height)}, // moved back wholly onto it
        {{3000, 3000, 240, 60}, Place()},                              // on no output now: centred
    };
    for (const auto& c : cases) {
        defaults.set(FloatingPanel::kUserDefaultsFrameKey, encodePanelFrame(c.saved));
        panel.orderOut();
        panel.makeKeyAndOrderFront();
        EXPECT_EQ(surface.place_, c.expected) << c.saved.x;
    }
}
