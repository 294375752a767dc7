#include "ViewFixture.h"
#include "platform/linux/testing/RunProgram.h"

#include <QEnterEvent>
#include <QIcon>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QScrollArea>
#include <QScreen>
#include <QMouseEvent>

#include <algorithm>
#include <filesystem>
#include <fstream>

using namespace app;
using namespace app::views;

namespace {

QColor pixelOf(QWidget& widget, QPoint at) {
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    widget.render(&image);
    return image.pixelColor(at);
}

// The row appears under the pointer (or the pointer crosses into it).
void enter(QWidget& row) {
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&row, &enter);
}

void moveWithin(QWidget& row) {
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&row, &move);
}

void leave(QWidget& row) {
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(&row, &event);
}

void click(QWidget& row) {
    QPointF at(row.width() / 2.0, row.height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, at, row.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {});
    QMouseEvent release(QEvent::MouseButtonRelease, at, row.mapToGlobal(at), Qt::LeftButton, Qt::NoButton, {});
    QApplication::sendEvent(&row, &press);
    QApplication::sendEvent(&row, &release);
}

} // namespace

TEST_F(ViewFixture, BadgesNumberTheFirstTenRowsAndLaterRowsKeepAnInvisibleBadgeWithoutPadding) {
    for (int i = 0; i < 12; ++i) {
        char name[8];
        std::snprintf(name, sizeof name, "A%02d", i); // sorted by name: A00 .. A11
        launch(std::string(name), 100 + i);
    }
    auto& content = laidOutView();
    const auto& rows = content.rows();
    ASSERT_EQ(rows.size(), 12u);
    for (int i = 0; i < 12; ++i) {
        SCOPED_TRACE(i);
        const bool numbered = i < 10; // rows 0 to 9 show their digit
        EXPECT_EQ(rows[i]->content().badge, numbered ? RowContent::Badge::Number : RowContent::Badge::Invisible);
        EXPECT_EQ(rows[i]->content().badgeText, numbered ? std::to_string(i) : "");
        EXPECT_EQ(rows[i]->content().badgeTrailingPadding, numbered);
    }
    // The missing trailing padding moves the icon 4 px to the left.
    EXPECT_EQ(rows[9]->iconRect().x() - rows[10]->iconRect().x(), AppRowView::kBadgeTrailing);
    EXPECT_EQ(rows[10]->iconRect().size(), QSize(24, 22));
    // The badge number is the digit that selects the row.
    EXPECT_EQ(delegate.appList().sortedApps()[3]->localizedName(), std::optional<std::string>("A03"));

    // An application outside the list gets no badge at all.
    platform::HeadlessApplication::Facts stranger;
    stranger.localizedName = "Stranger";
    auto outside = std::make_shared<platform::HeadlessApplication>(stranger);
    EXPECT_EQ(rowContent(delegate.appList().sortedApps(), outside).badge, RowContent::Badge::None);
}

TEST_F(ViewFixture, NamelessApplicationIsListedAsAppWithAStandInIcon) {
    launch(std::nullopt, 200);
    auto& content = laidOutView();
    ASSERT_EQ(content.rows().size(), 1u);
    AppRowView& row = *content.rows()[0];
    EXPECT_EQ(row.content().name, "App");
    row.resize(row.sizeHint());
    // Something is painted in the icon slot although there is no icon.
    QRect slot = row.iconRect();
    EXPECT_GT(pixelOf(row, slot.center()).alpha(), 0);
}

TEST_F(ViewFixture, BadgeColoursFollowTheAppearance) {
    launch(std::string("Solo"), 300);
    auto& content = laidOutView();
    AppRowView& row = *content.rows()[0];
    row.resize(row.sizeHint());
    QRect badge = row.badgeRect();
    QPoint disc(badge.left() + 4, badge.center().y()); // inside the circle, clear of the digit

    // Dark and light: the disc takes the text colour.
    for (auto [window, text] :
         {std::pair{QColor(30, 30, 30), QColor(Qt::white)}, std::pair{QColor(240, 240, 240), QColor(Qt::black)}}) {
        QPalette palette;
        palette.setColor(QPalette::Window, window);
        palette.setColor(QPalette::WindowText, text);
        row.setPalette(palette);
        EXPECT_EQ(pixelOf(row, disc).rgb(), text.rgb());
    }
}

TEST_F(ViewFixture, HoverHighlightsAndClickActivatesThroughTheList) {
    auto a = launch(std::string("Alpha"), 401);
    auto b = launch(std::string("Beta"), 402);
    auto& content = laidOutView();
    auto& list = delegate.appList();
    AppRowView& beta = *content.rows()[1];
    ASSERT_EQ(beta.app(), b);

    enter(beta);
    moveWithin(beta);
    EXPECT_EQ(list.hoveredApp(), b);
    EXPECT_TRUE(beta.isHighlighted());
    EXPECT_DOUBLE_EQ(beta.scale(), 1.01);
    EXPECT_FALSE(content.rows()[0]->isHighlighted());

    // The keyboard moves the highlight elsewhere; leaving the row still clears it.
    list.selectApp(0);
    EXPECT_TRUE(content.rows()[0]->isHighlighted());
    EXPECT_FALSE(beta.isHighlighted());
    leave(beta);
    EXPECT_EQ(list.hoveredApp(), nullptr);
    EXPECT_FALSE(content.rows()[0]->isHighlighted());

    click(beta);
    ASSERT_EQ(b->activations().size(), 1u);
    EXPECT_TRUE(a->activations().empty());
    EXPECT_EQ(workspace.frontmostApplication(), b);

    // A row whose application has gone does not activate anything.
    workspace.terminate(a);
    const auto& rows = content.rows();
    EXPECT_TRUE(std::none_of(rows.begin(), rows.end(), [&](AppRowView* row) { return row->app() == a; }));
}

TEST_F(ViewFixture, ARowAppearingUnderAPointerAtRestLeavesTheKeyboardHighlight) {
    launch(std::string("Alpha"), 411);
    auto b = launch(std::string("Beta"), 412);
    launch(std::string("Gamma"), 413);
    auto& content = laidOutView();
    auto& list = delegate.appList();
    list.resetSelection();
    AppRowView& gamma = *content.rows()[2];

    // The panel opens under the pointer: the row is entered without motion.
    enter(gamma);
    EXPECT_EQ(list.hoveredApp(), b);
    // A layout that slides the row away again does not clear the highlight.
    leave(gamma);
    EXPECT_EQ(list.hoveredApp(), b);

    // Once the pointer moves, the row under it takes the highlight.
    enter(gamma);
    moveWithin(gamma);
    EXPECT_EQ(list.hoveredApp(), gamma.app());
    EXPECT_TRUE(gamma.isHighlighted());
}

TEST_F(ViewFixture, SizeReportsArriveOnALaterTurnOfTheMainQueue) {
    launch(std::string("One"), 501);
    launch(std::string("Two"), 502);
    std::vector<Size> sizes;
    int withoutSize = 0;
    platform::Subscription sub(center, center.addObserver(kNeedsResize, nullptr, [&](const platform::Notification& n) {
        if (auto* size = n.info<Size>("size")) sizes.push_back(*size);
        else ++withoutSize;
    }));
    auto& content = view();
    EXPECT_TRUE(sizes.empty()) << "posted from inside the layout";
    scheduler.runUntilIdle();
    // One per row and one for the stack.
    ASSERT_EQ(sizes.size(), 3u);
    EXPECT_GT(sizes[0].height, 0);
    EXPECT_GE(sizes[2].height, sizes[0].height + sizes[1].height);

    // Another application: the rows are laid out again and report again.
    sizes.clear();
    launch(std::string("Three"), 503);
    EXPECT_TRUE(sizes.empty());
    scheduler.runUntilIdle();
    EXPECT_EQ(sizes.size(), 4u);
    EXPECT_EQ(content.rows().size(), 3u);

    auto fitting = hosting->fittingSize();
    EXPECT_GE(fitting.height, sizes.back().height);
    EXPECT_GE(fitting.width, sizes.back().width);
}

TEST_F(ViewFixture, RowIconsFollowChangesAndFallBackThroughTheThemeThenTheWindowIcon) {
    auto solid = [](std::uint32_t argb) { return platform::Icon{4, 4, std::vector<std::uint32_t>(16, argb)}; };
    // A private icon theme with one blue icon.
    const zelvo::testing::TemporaryFolder folder;
    const auto& themeRoot = folder.path;
    std::filesystem::create_directories(themeRoot / "zelvotest/48x48/apps");
    std::ofstream(themeRoot / "zelvotest/index.theme")
        << "[Icon Theme]\nName=zelvotest\nDirectories=48x48/apps\n\n[48x48/apps]\nSize=48\nType=Fixed\n";
    QImage blue(48, 48, QImage::Format_ARGB32);
    blue.fill(QColor(0, 0, 255));
    ASSERT_TRUE(blue.save(QString::fromStdString((themeRoot / "zelvotest/48x48/apps/zelvo-blue.png").string())));
    QIcon::setThemeSearchPaths({QString::fromStdString(themeRoot.string())});
    QIcon::setThemeName(QStringLiteral("zelvotest"));

    auto app = launch(std::string("Solo"), 100);
    app->facts().icon = solid(0xFFFF0000);
    auto& content = laidOutView();
    ASSERT_EQ(content.rows().size(), 1u);
    auto iconColour = [&] {
        auto* row = content.rows()[0];
        return pixelOf(*row, row->iconRect().center());
    };
    EXPECT_EQ(iconColour(), QColor(255, 0, 0));

    struct Step {
        const char* what;
        platform::Icon icon;
        std::optional<std::string> iconName;
        platform::Icon fallback;
        QColor expected;
    } steps[] = {
        {"the window's icon changed", solid(0xFF00FF00), std::nullopt, {}, QColor(0, 255, 0)},
        {"no window icon: the entry's from the theme", {}, "zelvo-blue", solid(0xFFFFFF00), QColor(0, 0, 255)},
        {"not in the theme: the old-style icon", {}, "zelvo-missing", solid(0xFFFFFF00), QColor(255, 255, 0)},
    };
    for (const auto& step : steps) {
        app->facts().icon = step.icon;
        app->facts().iconName = step.iconName;
        app->facts().fallbackIcon = step.fallback;
        ++app->facts().iconVersion;
        scheduler.advance(platform::Seconds(3)); // the list's refresh shows it
        EXPECT_EQ(iconColour(), step.expected) << step.what;
    }
}

TEST_F(ViewFixture, LongListsScrollToTheHighlightAndLongNamesAreCutToFitTheScreen) {
    for (int i = 0; i < 60; ++i) launch("A" + std::to_string(100 + i), 700 + i);
    auto longest = launch(std::string(300, 'W'), 800);
    auto& content = laidOutView();
    const QSize fitting = content.fittingSize();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(fitting.width(), screen.width());
    EXPECT_LE(fitting.height(), screen.height());
    content.resize(fitting);
    content.show();
    content.layout()->activate();
    QWidget* viewport = content.scrollArea()->viewport();
    for (int index : {55, 3, 60}) {
        delegate.appList().selectApp(index);
        AppRowView* row = content.rows()[std::size_t(index)];
        EXPECT_TRUE(viewport->rect().contains(QRect(row->mapTo(viewport, QPoint(0, 0)), row->size()))) << index;
    }
    EXPECT_EQ(content.rows()[60]->app(), longest);
    EXPECT_LE(content.rows()[60]->width(), fitting.width()); // the name is elided, not the panel widened
    content.hide();
}

TEST_F(ViewFixture, FilteredRowsMarkTheMatchedLettersAndSayWhenNothingMatches) {
    launch(std::string("Alpha"), 901);
    launch(std::string("Beta"), 902);
    auto& content = view();
    auto& list = delegate.appList();
    list.setFilter("lp");
    content.layoutIfNeeded();
    ASSERT_EQ(content.rows().size(), 1u);
    EXPECT_EQ(content.rows()[0]->content().marked, (std::vector<std::size_t>{1, 2}));
    EXPECT_FALSE(content.filterLabel()->isHidden());
    list.setFilter("zz");
    content.layoutIfNeeded();
    EXPECT_TRUE(content.rows().empty());
    EXPECT_TRUE(content.filterLabel()->text().startsWith("No application matches"));
}

TEST(AppRowIcon, IsScaledToTheDevicePixelsOfItsSlot) {
    platform::qt::testApplication();
    struct Case {
        QSize source;
        qreal ratio;
        QSize device;
    } cases[] = {
        {{64, 64}, 1, {22, 22}},
        {{64, 64}, 2, {44, 44}},
        {{32, 16}, 2, {48, 24}},
        {{16, 16}, 1.5, {33, 33}},
    };
    for (const auto& c : cases) {
        QPixmap source(c.source);
        source.fill(Qt::red);
        QPixmap icon = iconAtDeviceSize(source, QSize(AppRowView::kIconWidth, AppRowView::kIconHeight), c.ratio);
        EXPECT_EQ(icon.size(), c.device) << c.ratio;
        EXPECT_EQ(icon.devicePixelRatio(), c.ratio);
    }
}

TEST_F(ViewFixture, ARightClickOffersCloseQuitAndMinimizeForItsRow) {
    launch(std::string("Alpha"), 911);
    auto beta = launch(std::string("Beta"), 912);
    beta->facts().windows = {{5, "one", false, true, {}}, {6, "two", false, true, {}}};
    auto& content = laidOutView();
    AppRowView& row = *content.rows()[1];
    QPointF at(row.width() / 2.0, row.height() / 2.0);
    QMouseEvent release(QEvent::MouseButtonRelease, at, row.mapToGlobal(at), Qt::RightButton, Qt::NoButton, {});
    QApplication::sendEvent(&row, &release);
    EXPECT_EQ(delegate.appList().hoveredApp(), beta);
    auto actions = content.rowMenu()->actions();
    ASSERT_EQ(actions.size(), 3);
    delegate.appList().setHoveredApp(nullptr); // the pointer moved on while the menu was open
    actions[2]->trigger();
    actions[0]->trigger();
    EXPECT_EQ(beta->windowRequests(), (std::vector<std::string>{"minimize 5", "close 5"}));
    content.rowMenu()->hide();
}
