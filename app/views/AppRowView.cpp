#include "app/views/AppRowView.h"

#include "app/views/Accessibility.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

namespace app::views {

AppRowView::AppRowView(platform::RunningApplicationPtr app, Callbacks callbacks, QWidget* parent)
    : QWidget(parent), app_(std::move(app)), callbacks_(std::move(callbacks)) {
    setAttribute(Qt::WA_Hover);
    setMouseTracking(true); // the highlight follows the pointer's motion
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void AppRowView::setContent(RowContent content, QPixmap icon) {
    bool resized = content.name != content_.name || content.badge != content_.badge ||
                   content.detail != content_.detail || content.windows.size() != content_.windows.size();
    if (content == content_ && icon.cacheKey() == icon_.cacheKey()) return;
    // The placeholder shows the name's first letter.
    if (icon.cacheKey() != icon_.cacheKey() || content.name != content_.name) deviceIcon_ = QPixmap();
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

namespace {

// The row's text: the name, then the chosen window's title.
QString rowText(const RowContent& content) {
    QString text = QString::fromStdString(content.name);
    if (!content.detail.empty()) text += QStringLiteral(" \u2014 ") + QString::fromStdString(content.detail);
    return text;
}

// UTF-16 index of each code point of `text`.
std::vector<int> codePointStarts(const QString& text) {
    std::vector<int> starts;
    for (int i = 0; i < text.size(); ++i) {
        starts.push_back(i);
        if (text[i].isHighSurrogate() && i + 1 < text.size()) ++i;
    }
    return starts;
}

} // namespace

int AppRowView::baseHeight() const {
    int nameHeight = QFontMetrics(nameFont()).height() + 2 * kNamePadding;
    return 2 * kPadding + std::max({kBadgeSize, kIconHeight, nameHeight});
}

QSize AppRowView::sizeHint() const {
    QFontMetrics metrics(nameFont());
    int nameWidth = metrics.horizontalAdvance(rowText(content_)) + 2 * kNamePadding;
    int badge = content_.badge == RowContent::Badge::None ? 0 : kBadgeSize + kSpacing;
    if (content_.badgeTrailingPadding) badge += kBadgeTrailing;
    int width = 2 * kOuterPadding + 2 * kPadding + badge + kIconWidth + kSpacing + nameWidth;
    for (const auto& line : content_.windows)
        width = std::max(width, kOuterPadding + kWindowIndent +
                                    metrics.horizontalAdvance(QString::fromStdString(line.text)) + 2 * kNamePadding +
                                    kPadding + kOuterPadding);
    int height = baseHeight() + int(content_.windows.size()) * kWindowLineHeight;
    if (!content_.windows.empty()) height += kPadding;
    return QSize(width, height);
}

QSize AppRowView::minimumSizeHint() const {
    const int width = 2 * kOuterPadding + 2 * kPadding + kBadgeSize + kSpacing + kBadgeTrailing + kIconWidth +
                      kSpacing + 2 * kNamePadding;
    return QSize(width, sizeHint().height());
}

QRect AppRowView::highlightRect() const { return rect().adjusted(kOuterPadding, 0, -kOuterPadding, 0); }

QRect AppRowView::baseRect() const {
    QRect r = highlightRect();
    r.setHeight(baseHeight());
    return r;
}

QRect AppRowView::windowLineRect(int index) const {
    QRect r = highlightRect();
    return QRect(r.left() + kWindowIndent, baseHeight() + index * kWindowLineHeight,
                 r.width() - kWindowIndent - kPadding, kWindowLineHeight);
}

QRect AppRowView::badgeRect() const {
    if (content_.badge == RowContent::Badge::None) return {};
    QRect inner = baseRect().adjusted(kPadding, kPadding, -kPadding, -kPadding);
    return QRect(inner.left(), inner.center().y() - kBadgeSize / 2 + 1, kBadgeSize, kBadgeSize);
}

QRect AppRowView::iconRect() const {
    QRect inner = baseRect().adjusted(kPadding, kPadding, -kPadding, -kPadding);
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
    // The icon keeps its aspect ratio inside its 24 by 22 slot, drawn
    // pixel for pixel at the screen's scale.
    QRect slot = iconRect();
    const qreal ratio = devicePixelRatioF();
    if (deviceIcon_.isNull() || !qFuzzyCompare(deviceIcon_.devicePixelRatio(), ratio)) {
        QPixmap source = icon_.isNull() ? placeholderIcon(content_.name, slot.width(), slot.height()) : icon_;
        deviceIcon_ = iconAtDeviceSize(source, slot.size(), ratio);
    }
    QSize fitted = (QSizeF(deviceIcon_.size()) / ratio).toSize();
    p.drawPixmap(
        QPoint(slot.x() + (slot.width() - fitted.width()) / 2, slot.y() + (slot.height() - fitted.height()) / 2),
        deviceIcon_);

    const QColor textColour = palette().color(QPalette::WindowText);
    p.setPen(textColour);
    p.setFont(nameFont());
    QRect base = baseRect();
    QRect name(slot.right() + 1 + kSpacing + kNamePadding, base.top(), 0, base.height());
    name.setRight(base.right() - kPadding - kNamePadding);
    const QFontMetrics metrics(nameFont());
    const QString full = rowText(content_);
    const QString shown = metrics.elidedText(full, Qt::ElideRight, name.width());
    // The filter's letters in bold and the accent colour; the window's title
    // dimmed. Characters cut off by the elision mark nothing.
    const int visible = shown == full ? int(full.size()) : int(shown.size()) - 1;
    QList<QTextLayout::FormatRange> formats;
    const auto starts = codePointStarts(QString::fromStdString(content_.name));
    for (std::size_t position : content_.marked) {
        if (position >= starts.size() || starts[position] >= visible) continue;
        QTextLayout::FormatRange range;
        range.start = starts[position];
        range.length = position + 1 < starts.size() ? starts[position + 1] - starts[position] : 1;
        range.format.setFontWeight(QFont::Bold);
        range.format.setForeground(QColor(0, 122, 255));
        formats.append(range);
    }
    const int nameLength = int(QString::fromStdString(content_.name).size());
    if (!content_.detail.empty() && nameLength < int(shown.size())) {
        QTextLayout::FormatRange range;
        range.start = nameLength;
        range.length = int(shown.size()) - nameLength;
        QColor dim = textColour;
        dim.setAlphaF(0.65);
        range.format.setForeground(dim);
        formats.append(range);
    }
    QTextLayout layout(shown, nameFont());
    layout.setFormats(formats);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(name.width() + 1);
    layout.endLayout();
    layout.draw(&p, QPointF(name.left(), name.top() + (name.height() - line.height()) / 2));

    // The application's windows, indented, the chosen one marked.
    for (int i = 0; i < int(content_.windows.size()); ++i) {
        QRect lineRect = windowLineRect(i);
        if (i == content_.chosenWindow) {
            QColor blue(0, 122, 255);
            blue.setAlphaF(0.25);
            QPainterPath path;
            path.addRoundedRect(QRectF(lineRect.adjusted(-kNamePadding, 1, 0, -1)), 6, 6);
            p.fillPath(path, blue);
        }
        p.setPen(textColour);
        p.drawText(lineRect, Qt::AlignVCenter | Qt::AlignLeft,
                   metrics.elidedText(QString::fromStdString(content_.windows[std::size_t(i)].text), Qt::ElideRight,
                                      lineRect.width()));
    }
}

QPixmap iconAtDeviceSize(const QPixmap& source, QSize slot, qreal ratio) {
    if (source.isNull()) return {};
    const QSize device = (QSizeF(source.size()).scaled(QSizeF(slot) * ratio, Qt::KeepAspectRatio)).toSize();
    QPixmap scaled = source.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    scaled.setDevicePixelRatio(ratio);
    return scaled;
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
    const QPoint at = event->position().toPoint();
    if (!rect().contains(at)) return;
    if (event->button() == Qt::RightButton) {
        if (callbacks_.contextMenu) callbacks_.contextMenu(app_, event->globalPosition().toPoint());
        return;
    }
    if (event->button() != Qt::LeftButton) return;
    for (int i = 0; i < int(content_.windows.size()); ++i)
        if (windowLineRect(i).adjusted(-kWindowIndent, 0, 0, 0).contains(at)) {
            if (callbacks_.windowClicked) callbacks_.windowClicked(app_, content_.windows[std::size_t(i)].id);
            return;
        }
    if (callbacks_.clicked) callbacks_.clicked(app_);
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
