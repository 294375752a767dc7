#include "app/views/AppRowView.h"

#include "app/views/Accessibility.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace app::views {

AppRowView::AppRowView(platform::RunningApplicationPtr app, Callbacks callbacks, QWidget* parent)
    : QWidget(parent), app_(std::move(app)), callbacks_(std::move(callbacks)) {
    setAttribute(Qt::WA_Hover);
    setMouseTracking(true); // the highlight follows the pointer's motion
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void AppRowView::setContent(RowContent content, QPixmap icon) {
    bool resized = content.name != content_.name || content.badge != content_.badge;
    content_ = std::move(content);
    icon_ = std::move(icon);
    if (resized) {
        updateGeometry();
        announceNameChanged(this);
    }
    update();
}

void AppRowView::setHighlighted(bool value) {
    if (value == highlighted_) return;
    highlighted_ = value;
    update();
    announceHighlightChanged(this);
}

QFont AppRowView::nameFont() const {
    QFont f = font();
    f.setPixelSize(kNamePixelSize);
    return f;
}

QFont AppRowView::badgeFont() const {
    QFont f = QFont(QStringLiteral("monospace"));
    f.setStyleHint(QFont::Monospace);
    f.setPixelSize(kBadgePixelSize);
    f.setBold(true);
    return f;
}

bool AppRowView::isDark() const { return palette().color(QPalette::Window).lightness() < 128; }

QSize AppRowView::sizeHint() const {
    QFontMetrics metrics(nameFont());
    int nameWidth = metrics.horizontalAdvance(QString::fromStdString(content_.name)) + 2 * kNamePadding;
    int nameHeight = metrics.height() + 2 * kNamePadding;
    int badge = content_.badge == RowContent::Badge::None ? 0 : kBadgeSize + kSpacing;
    if (content_.badgeTrailingPadding) badge += kBadgeTrailing;
    int width = 2 * kOuterPadding + 2 * kPadding + badge + kIconWidth + kSpacing + nameWidth;
    int height = 2 * kPadding + std::max({kBadgeSize, kIconHeight, nameHeight});
    return QSize(width, height);
}

QRect AppRowView::highlightRect() const { return rect().adjusted(kOuterPadding, 0, -kOuterPadding, 0); }

QRect AppRowView::badgeRect() const {
    if (content_.badge == RowContent::Badge::None) return {};
    QRect inner = highlightRect().adjusted(kPadding, kPadding, -kPadding, -kPadding);
    return QRect(inner.left(), inner.center().y() - kBadgeSize / 2 + 1, kBadgeSize, kBadgeSize);
}

QRect AppRowView::iconRect() const {
    QRect inner = highlightRect().adjusted(kPadding, kPadding, -kPadding, -kPadding);
    int x = inner.left();
    if (content_.badge != RowContent::Badge::None) {
        x += kBadgeSize + kSpacing;
        if (content_.badgeTrailingPadding) x += kBadgeTrailing;
    }
    return QRect(x, inner.center().y() - kIconHeight / 2 + 1, kIconWidth, kIconHeight);
}

void AppRowView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (highlighted_) {
        QPointF centre = QRectF(rect()).center();
        p.translate(centre);
        p.scale(scale(), scale());
        p.translate(-centre);
        QPainterPath path;
        path.addRoundedRect(QRectF(highlightRect()), kCornerRadius, kCornerRadius);
        QColor blue(0, 122, 255);
        blue.setAlphaF(0.2);
        p.fillPath(path, blue);
    }
    if (content_.badge == RowContent::Badge::Number) {
        auto colors = badgeColors(isDark());
        p.setPen(Qt::NoPen);
        p.setBrush(QColor::fromRgb(colors.background));
        p.drawEllipse(badgeRect());
        p.setPen(QColor::fromRgb(colors.text));
        p.setFont(badgeFont());
        p.drawText(badgeRect(), Qt::AlignCenter, QString::fromStdString(content_.badgeText));
    }
    // The icon keeps its aspect ratio inside its 24 by 22 slot.
    QRect slot = iconRect();
    QPixmap icon = icon_.isNull() ? placeholderIcon(content_.name, slot.width(), slot.height()) : icon_;
    QSize fitted = icon.size().scaled(slot.size(), Qt::KeepAspectRatio);
    QRect target(slot.x() + (slot.width() - fitted.width()) / 2, slot.y() + (slot.height() - fitted.height()) / 2,
                 fitted.width(), fitted.height());
    p.drawPixmap(target, icon);

    p.setPen(palette().color(QPalette::WindowText));
    p.setFont(nameFont());
    QRect name(slot.right() + 1 + kSpacing + kNamePadding, highlightRect().top(), 0, highlightRect().height());
    name.setRight(highlightRect().right() - kPadding - kNamePadding);
    p.drawText(
        name, Qt::AlignVCenter | Qt::AlignLeft,
        QFontMetrics(nameFont()).elidedText(QString::fromStdString(content_.name), Qt::ElideRight, name.width()));
}

// A row takes the highlight when the pointer moves over it, not when it
// merely appears under a pointer at rest: the panel opens centred, often right
// under the mouse, and the row beneath must not override the keyboard's
// choice (the second row) that releasing the hot key is about to activate.
void AppRowView::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    pointerInside_ = true;
    hoverTaken_ = false;
}

void AppRowView::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
    // Motion events come from the pointer's own movement only.
    if (!pointerInside_ || hoverTaken_) return;
    hoverTaken_ = true;
    if (callbacks_.hovered) callbacks_.hovered(app_);
}

void AppRowView::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    pointerInside_ = false;
    if (!hoverTaken_) return;
    hoverTaken_ = false;
    // Leaving clears the highlight, even one the keyboard moved elsewhere.
    if (callbacks_.hovered) callbacks_.hovered(nullptr);
}

void AppRowView::mousePressEvent(QMouseEvent* event) {
    // Taken here so that a press on a row does not start moving the panel.
    event->accept();
}

void AppRowView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && callbacks_.clicked)
        callbacks_.clicked(app_);
}

QPixmap placeholderIcon(const std::string& name, int width, int height) {
    QPixmap pixmap(width * 2, height * 2); // drawn at twice the size for smooth scaling
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(128, 128, 140));
    int side = std::min(pixmap.width(), pixmap.height());
    QRectF tile((pixmap.width() - side) / 2.0, (pixmap.height() - side) / 2.0, side, side);
    p.drawRoundedRect(tile, side * 0.22, side * 0.22);
    QString letter = name.empty() ? QStringLiteral("?") : QString::fromStdString(name).left(1).toUpper();
    QFont f;
    f.setPixelSize(int(side * 0.6));
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(tile, Qt::AlignCenter, letter);
    return pixmap;
}

} // namespace app::views
