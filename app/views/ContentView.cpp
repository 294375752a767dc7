#include "app/views/ContentView.h"

#include "app/core/Preferences.h"
#include "app/views/Accessibility.h"

#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
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

    observer_ = env_.list.addChangeObserver([this] { listChanged(); });
    layoutIfNeeded();
}

ContentView::~ContentView() {
    *alive_ = false;
    env_.list.removeChangeObserver(observer_);
}

void ContentView::listChanged() {
    auto apps = env_.list.sortedApps();
    if (apps != shown_) rebuildRows(apps);
    else refreshRows();
}

void ContentView::layoutIfNeeded() {
    if (dirty_ || env_.list.sortedApps() != shown_) rebuildRows(env_.list.sortedApps());
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
                auto sorted = env_.list.sortedApps();
                if (auto index = indexOf(sorted, a); index && *index < sorted.size())
                    env_.list.activate(sorted[*index]);
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
    refreshRows();
    inner_->adjustSize();
    reportSizes();
}

void ContentView::refreshRows() {
    const auto& hovered = env_.list.hoveredApp();
    for (auto* row : rows_) {
        row->setContent(rowContent(shown_, row->app()), iconFor(row->app()));
        row->setHighlighted(hovered && hovered == row->app());
    }
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
    // The panel opens on the screen of the pointer; the list fits that one.
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (screen) height = std::min(height, int(screen->availableGeometry().height() * kMaximumScreenShare));
    return QSize(width, height);
}

Size SwitcherHostingView::fittingSize() {
    QSize s = view_->fittingSize();
    return Size{double(s.width()), double(s.height())};
}

} // namespace app::views
