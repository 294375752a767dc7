#pragma once

#include "app/views/RowContent.h"

#include <QPixmap>
#include <QWidget>

#include <functional>

namespace app::views {

// One row of the switcher list, painted directly: the position badge, the
// icon (24 by 22) and the name, on a rounded highlight when it is the list's
// hovered application (blue at 20 %, scaled to 101 %).
class AppRowView : public QWidget {
public:
    struct Callbacks {
        std::function<void(const platform::RunningApplicationPtr&)> hovered; // nullptr when the pointer left
        std::function<void(const platform::RunningApplicationPtr&)> clicked;
        // A right click, at this global position.
        std::function<void(const platform::RunningApplicationPtr&, QPoint)> contextMenu;
        // A click on one of the window lines under the row.
        std::function<void(const platform::RunningApplicationPtr&, std::uint64_t)> windowClicked;
    };

    AppRowView(platform::RunningApplicationPtr app, Callbacks callbacks, QWidget* parent = nullptr);

    const platform::RunningApplicationPtr& app() const { return app_; }
    void setContent(RowContent content, QPixmap icon);
    void setHighlighted(bool value);
    bool isHighlighted() const { return highlighted_; }
    // What a click does (also the row's accessible "press" action).
    void activate() {
        if (callbacks_.clicked) callbacks_.clicked(app_);
    }
    const RowContent& content() const { return content_; }
    // Where the parts are drawn, in widget coordinates (for layout and tests).
    QRect badgeRect() const;
    QRect iconRect() const;
    QRect highlightRect() const;
    // The line of window `index` under the row (when expanded).
    QRect windowLineRect(int index) const;
    double scale() const { return highlighted_ ? 1.01 : 1.0; }

    QSize sizeHint() const override;
    // Everything but the name, which is cut short in a narrower row.
    QSize minimumSizeHint() const override;

    static constexpr int kOuterPadding = 6; // leading and trailing, outside the highlight
    static constexpr int kPadding = 6;      // all edges, inside the highlight
    static constexpr int kBadgeSize = 22;
    static constexpr int kBadgeTrailing = 4;
    static constexpr int kSpacing = 8;
    static constexpr int kIconWidth = 24;
    static constexpr int kIconHeight = 22;
    static constexpr int kNamePadding = 4;
    static constexpr int kNamePixelSize = 15;
    static constexpr int kBadgePixelSize = 14;
    static constexpr double kCornerRadius = 10;
    static constexpr int kWindowLineHeight = 22;
    static constexpr int kWindowIndent = 40;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // The height of the row without its window lines.
    int baseHeight() const;
    QRect baseRect() const;
    QFont nameFont() const;
    QFont badgeFont() const;
    bool isDark() const;

    platform::RunningApplicationPtr app_;
    Callbacks callbacks_;
    RowContent content_;
    QPixmap icon_;
    QPixmap deviceIcon_; // icon_ at the size it is drawn, in device pixels
    bool highlighted_ = false;
    bool pointerInside_ = false;
    bool hoverTaken_ = false; // the pointer moved while inside: this row set the highlight
};

// `source` scaled, keeping its aspect ratio, to fit `slot` (logical
// pixels) at `devicePixelRatio`: the result is as many pixels as the screen
// shows, so painting it copies pixels instead of resampling them.
QPixmap iconAtDeviceSize(const QPixmap& source, QSize slot, qreal devicePixelRatio);

// A stand-in icon for an application without one: a rounded tile with the
// first letter of its name.
QPixmap placeholderIcon(const std::string& name, int width, int height);

} // namespace app::views
