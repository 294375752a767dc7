#include "app/desktop/SurfaceMenu.h"

#include "app/core/KeyCodes.h"

#include <QAction>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

namespace app::desktop {

namespace {

constexpr int kPadding = 4;
constexpr int kItemHeight = 24;
constexpr int kSeparatorHeight = 9;
constexpr int kTextIndent = 14;

} // namespace

SurfaceMenu::SurfaceMenu(QMenu& menu, std::function<void()> closed) : closed_(std::move(closed)) {
    setAttribute(Qt::WA_DontShowOnScreen);
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
    setFont(menu.font());
    for (auto* action : menu.actions())
        if (action->isVisible()) items_.push_back({action->isSeparator() ? nullptr : action, {}});
    layoutItems();
    resize(sizeHint());
}

void SurfaceMenu::layoutItems() {
    const QFontMetrics metrics(font());
    int width = 0;
    for (const auto& item : items_)
        if (item.action) width = std::max(width, metrics.horizontalAdvance(item.action->text()));
    width += 2 * kTextIndent;
    int y = kPadding;
    for (auto& item : items_) {
        const int height = item.action ? kItemHeight : kSeparatorHeight;
        item.rect = QRect(kPadding, y, width, height);
        y += height;
    }
}

QSize SurfaceMenu::sizeHint() const {
    if (items_.empty()) return {2 * kPadding, 2 * kPadding};
    return {items_.back().rect.right() + 1 + kPadding, items_.back().rect.bottom() + 1 + kPadding};
}

std::vector<std::pair<QString, QRect>> SurfaceMenu::items() const {
    std::vector<std::pair<QString, QRect>> items;
    for (const auto& item : items_)
        if (item.action && item.action->isEnabled()) items.emplace_back(item.action->text(), item.rect);
    return items;
}

QString SurfaceMenu::highlightedText() const {
    if (highlighted_ < 0) return {};
    const auto& action = items_[std::size_t(highlighted_)].action;
    return action ? action->text() : QString();
}

int SurfaceMenu::itemAt(QPoint at) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i].action && items_[i].action->isEnabled() && items_[i].rect.contains(at)) return int(i);
    return -1;
}

bool SurfaceMenu::key(std::uint16_t keyCode) {
    switch (keyCode) {
    case kKeyDownArrow: moveHighlight(1); return true;
    case kKeyUpArrow: moveHighlight(-1); return true;
    case kKeyReturn:
    case kKeyKeypadEnter:
    case kKeySpace:
        if (highlighted_ >= 0) trigger(highlighted_);
        return true;
    case kKeyEscape: close(); return true;
    default: return false;
    }
}

void SurfaceMenu::moveHighlight(int step) {
    const int count = int(items_.size());
    for (int i = 1; i <= count; ++i) {
        // From nothing highlighted, Down starts at the first item and Up at the last.
        const int from = highlighted_ >= 0 ? highlighted_ : (step > 0 ? -1 : count);
        const int index = ((from + step * i) % count + count) % count;
        if (items_[index].action && items_[index].action->isEnabled()) {
            highlighted_ = index;
            update();
            return;
        }
    }
}

void SurfaceMenu::trigger(int index) {
    QPointer<QAction> action = items_[std::size_t(index)].action;
    close();
    // Once the menu is gone: the action may hide the panel or open a window.
    if (action) QTimer::singleShot(0, action, [action] { action->trigger(); });
}

void SurfaceMenu::close() {
    if (auto closed = std::exchange(closed_, nullptr)) closed();
}

void SurfaceMenu::mouseMoveEvent(QMouseEvent* event) {
    const int index = itemAt(event->position().toPoint());
    if (index == highlighted_) return;
    highlighted_ = index;
    update();
}

void SurfaceMenu::mouseReleaseEvent(QMouseEvent* event) {
    if (const int index = itemAt(event->position().toPoint()); index >= 0) trigger(index);
}

void SurfaceMenu::leaveEvent(QEvent*) {
    if (highlighted_ < 0) return;
    highlighted_ = -1;
    update();
}

void SurfaceMenu::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath outline;
    outline.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    painter.fillPath(outline, palette().color(QPalette::Base));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawPath(outline);
    for (std::size_t i = 0; i < items_.size(); ++i) {
        const auto& item = items_[i];
        if (!item.action) {
            const int y = item.rect.center().y();
            painter.setPen(palette().color(QPalette::Midlight));
            painter.drawLine(item.rect.left() + 4, y, item.rect.right() - 4, y);
            continue;
        }
        QColor ink = palette().color(item.action->isEnabled() ? QPalette::Text : QPalette::PlaceholderText);
        if (int(i) == highlighted_) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(palette().color(QPalette::Highlight));
            painter.drawRoundedRect(item.rect, 4, 4);
            ink = palette().color(QPalette::HighlightedText);
        }
        painter.setPen(ink);
        painter.drawText(item.rect.adjusted(kTextIndent, 0, -kTextIndent, 0), Qt::AlignVCenter | Qt::AlignLeft,
                         item.action->text());
    }
}

} // namespace app::desktop
