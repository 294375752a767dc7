#include "app/views/ContentView.h"

#include "app/core/Preferences.h"
#include "app/core/AppDelegate.h"
#include "app/desktop/MenuRequest.h"
#include "app/views/Accessibility.h"

#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

namespace app::views {

namespace {
constexpr int kInnerPadding = 6; // leading and trailing of the row stack
constexpr int kScrollBottom = 6;
constexpr int kStackBottom = 10;
constexpr double kMaximumScreenShare = 0.8;

QPixmap pixmapOf(const platform::Icon& icon) {
    if (icon.empty()) return {};
    QImage image(reinterpret_cast<const uchar*>(icon.argb.data()), icon.width, icon.height, icon.width * 4,
                 QImage::Format_ARGB32);
    // Scaled once to twice the slot so that painting is cheap and smooth.
    return QPixmap::fromImage(image.scaled(AppRowView::kIconWidth * 2, AppRowView::kIconHeight * 2, Qt::KeepAspectRatio,
                                           Qt::SmoothTransformation));
}
} // namespace

ContentView::ContentView(Environment env, SwitcherViewOptions options, QWidget* parent)
    : QWidget(parent), env_(env), options_(options) {
    setAttribute(Qt::WA_TranslucentBackground);
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, kStackBottom + kScrollBottom);
    stack->setSpacing(0);
    toolbar_ = new ToolbarView(env_.delegate, env_.defaults, this);
    stack->addWidget(toolbar_);
    filterLabel_ = new QLabel(this);
    filterLabel_->setContentsMargins(kInnerPadding * 2, 0, kInnerPadding * 2, 4);
    filterLabel_->setTextFormat(Qt::PlainText);
    filterLabel_->hide();
    stack->addWidget(filterLabel_);

    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    // Keys go to the delegate, never to the scroll area: with the focus it
    // would also take the accessible focus away from the highlighted row.
    scroll_->setFocusPolicy(Qt::NoFocus);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setWidgetResizable(true);
    scroll_->viewport()->setAutoFillBackground(false);
    inner_ = new QWidget;
    inner_->setAutoFillBackground(false);
    rowsLayout_ = new QVBoxLayout(inner_);
    rowsLayout_->setContentsMargins(kInnerPadding, 0, kInnerPadding, 0);
    rowsLayout_->setSpacing(int(options_.spacing));
    rowsLayout_->addStretch(1);
    scroll_->setWidget(inner_);
    stack->addWidget(scroll_, 1);

    makeSwitcherAccessible(this, inner_);
    buildRowMenu();

    observer_ = env_.list.addChangeObserver([this] { listChanged(); });
    layoutIfNeeded();
}

ContentView::~ContentView() {
    *alive_ = false;
    env_.list.removeChangeObserver(observer_);
}

void ContentView::listChanged() {
    auto apps = env_.list.shownApps();
    if (apps != shown_) rebuildRows(apps);
    else refreshRows();
}

void ContentView::layoutIfNeeded() {
    if (dirty_ || env_.list.shownApps() != shown_) rebuildRows(env_.list.shownApps());
    if (layout()) layout()->activate();
    dirty_ = false;
}

void ContentView::rebuildRows(const std::vector<platform::RunningApplicationPtr>& apps) {
    // Rows are kept per application; only new applications get new rows.
    std::map<const platform::RunningApplication*, AppRowView*> old;
    for (auto* row : rows_) {
        rowsLayout_->removeWidget(row);
        old[row->app().get()] = row;
    }
    rows_.clear();
    for (const auto& app : apps) {
        AppRowView* row;
        if (auto it = old.find(app.get()); it != old.end()) {
            row = it->second;
            old.erase(it);
        } else {
            AppRowView::Callbacks callbacks;
            callbacks.hovered = [this](const platform::RunningApplicationPtr& a) { env_.list.setHoveredApp(a); };
            callbacks.clicked = [this](const platform::RunningApplicationPtr& a) {
                // The list may have changed under the pointer: activate only
                // what is still listed.
                auto shown = env_.list.shownApps();
                if (auto index = indexOf(shown, a); index && *index < shown.size())
                    env_.list.activateRow(shown[*index]);
            };
            callbacks.contextMenu = [this](const platform::RunningApplicationPtr& a, QPoint at) { showRowMenu(a, at); };
            callbacks.windowClicked = [this](const platform::RunningApplicationPtr& a, std::uint64_t window) {
                env_.list.activateWindow(a, window);
            };
            row = new AppRowView(app, std::move(callbacks), inner_);
        }
        rowsLayout_->insertWidget(int(rows_.size()), row);
        row->show();
        rows_.push_back(row);
    }
    for (auto& [app, row] : old) {
        icons_.erase(app);
        row->hide();
        row->deleteLater();
    }
    shown_ = apps;
    refreshRows(false);
    inner_->adjustSize();
    reportSizes();
    scrollToHighlight();
}

void ContentView::refreshRows(bool reportResize) {
    const auto& hovered = env_.list.hoveredApp();
    bool resized = false;
    for (auto* row : rows_) {
        const QSize before = row->sizeHint();
        row->setContent(contentOf(row->app()), iconFor(row->app()));
        row->setHighlighted(hovered && hovered == row->app());
        resized = resized || row->sizeHint() != before;
    }
    refreshFilterLabel();
    if (resized && reportResize) {
        inner_->adjustSize();
        reportSizes();
    }
    scrollToHighlight();
}

RowContent ContentView::contentOf(const platform::RunningApplicationPtr& app) const {
    auto& list = env_.list;
    RowContent content = rowContent(shown_, app);
    if (!list.filter().empty())
        if (auto match = list.matchOf(app)) content.marked = match->positions;
    const bool expanded = app == list.expandedApp();
    const auto chosen = app == list.hoveredApp() ? list.chosenWindow() : std::nullopt;
    if (!expanded && !chosen) return content;
    auto windows = list.windowsOf(app);
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const bool isChosen = chosen && windows[i].id == *chosen;
        if (isChosen) content.detail = windowText(windows[i]);
        if (!expanded) continue;
        content.windows.push_back({windows[i].id, windowText(windows[i])});
        if (isChosen) content.chosenWindow = int(i);
    }
    return content;
}

void ContentView::refreshFilterLabel() {
    const auto& filter = env_.list.filter();
    if (filter.empty()) {
        filterLabel_->hide();
        return;
    }
    const QString typed = QString::fromStdString(filter);
    filterLabel_->setText(shown_.empty() ? QStringLiteral("No application matches \u201C%1\u201D").arg(typed)
                                         : QStringLiteral("Filter: %1").arg(typed));
    filterLabel_->show();
}

void ContentView::scrollToHighlight() {
    const auto& hovered = env_.list.hoveredApp();
    for (auto* row : rows_)
        if (row->app() == hovered) {
            // The rows' geometry must be current for the scroll position.
            if (inner_->layout()) inner_->layout()->activate();
            scroll_->ensureWidgetVisible(row, 0, 0);
        }
}

void ContentView::buildRowMenu() {
    rowMenu_ = new QMenu(this);
    auto add = [this](const char* title, void (AppList::*action)()) {
        connect(rowMenu_->addAction(QString::fromUtf8(title)), &QAction::triggered, this, [this, action] {
            auto app = menuApp_;
            if (!app) return;
            // The pointer may have moved the highlight while the menu was open.
            if (env_.list.hoveredApp() != app) env_.list.setHoveredApp(app);
            (env_.list.*action)();
        });
    };
    add("Close Window\tCtrl+W", &AppList::closeHighlightedWindow);
    add("Quit\tCtrl+Q", &AppList::quitHighlighted);
    add("Minimize\tCtrl+M", &AppList::minimizeHighlightedWindow);
    // The menu took the keyboard from the panel while it was open: a panel
    // that was key takes it back.
    connect(rowMenu_, &QMenu::aboutToHide, this, [this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (const auto& panel = env_.delegate.panelWindow(); panel && panel->isKeyWindow()) panel->makeKey();
            },
            Qt::QueuedConnection);
    });
}

void ContentView::showRowMenu(const platform::RunningApplicationPtr& app, QPoint globalPosition) {
    menuApp_ = app;
    env_.list.setHoveredApp(app);
    // A panel that draws itself into a surface shows the menu there; the
    // anchor is the menu's top-right corner.
    const QPoint local = window()->mapFromGlobal(globalPosition);
    desktop::MenuRequest request(rowMenu_, local + QPoint(rowMenu_->sizeHint().width(), 0));
    QCoreApplication::sendEvent(window(), &request);
    if (!request.isAccepted()) rowMenu_->popup(globalPosition);
}

QPixmap ContentView::iconFor(const platform::RunningApplicationPtr& app) {
    const std::uint64_t version = app->iconVersion();
    auto it = icons_.find(app.get());
    if (it != icons_.end() && it->second.version == version) return it->second.pixmap;
    // The windows' own icon, else the desktop entry's through the icon
    // theme, else the old-style window icon; a row without any draws a letter.
    QPixmap pixmap = pixmapOf(app->icon());
    if (pixmap.isNull()) {
        if (auto name = app->iconName(); name && !name->empty()) {
            const QString text = QString::fromStdString(*name);
            QIcon themed = text.startsWith(QLatin1Char('/')) ? QIcon(text) : QIcon::fromTheme(text);
            if (!themed.isNull()) pixmap = themed.pixmap(AppRowView::kIconWidth * 2, AppRowView::kIconHeight * 2);
        }
    }
    if (pixmap.isNull()) pixmap = pixmapOf(app->fallbackIcon());
    icons_[app.get()] = CachedIcon{version, pixmap};
    return pixmap;
}

void ContentView::reportSizes() {
    // One report per row and one for the stack, each on a later turn of the
    // main queue, never from inside the layout.
    std::vector<Size> sizes;
    for (auto* row : rows_) {
        QSize s = row->sizeHint();
        sizes.push_back(Size{double(s.width()), double(s.height())});
    }
    QSize stack = inner_->sizeHint();
    sizes.push_back(Size{double(stack.width()), double(stack.height())});
    for (const auto& size : sizes) {
        std::weak_ptr<bool> alive = alive_;
        auto& center = env_.notificationCenter;
        env_.mainQueue.async([alive, &center, size] {
            if (alive.expired()) return;
            center.post(kNeedsResize, nullptr, {{"size", size}});
        });
    }
}

QSize ContentView::fittingSize() const {
    QSize bar = toolbar_->sizeHint();
    QSize rows = inner_->sizeHint();
    int width = std::max(bar.width(), rows.width());
    int height = bar.height() + rows.height() + kScrollBottom + kStackBottom;
    if (!filterLabel_->isHidden()) {
        width = std::max(width, filterLabel_->sizeHint().width());
        height += filterLabel_->sizeHint().height();
    }
    // The panel opens on the screen of the pointer; the list fits that one.
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect available = screen->availableGeometry();
        height = std::min(height, int(available.height() * kMaximumScreenShare));
        width = std::min(width, int(available.width() * kMaximumScreenShare));
    }
    return QSize(width, height);
}

Size SwitcherHostingView::fittingSize() {
    QSize s = view_->fittingSize();
    return Size{double(s.width()), double(s.height())};
}

} // namespace app::views
