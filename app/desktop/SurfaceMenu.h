#pragma once

#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

class QAction;
class QMenu;

namespace app::desktop {

// A toolkit menu's actions, drawn by the panel itself where popups have no
// window to open from (a Wayland overlay surface): a widget never shown on
// screen that the panel renders into its own buffer and feeds with the
// pointer and the keys. Up and Down move the highlight, Return or a click
// triggers, Escape closes. Main thread only.
class SurfaceMenu : public QWidget {
public:
    // `closed` runs once the menu is done, before a chosen action triggers.
    SurfaceMenu(QMenu& menu, std::function<void()> closed);

    // Carbon key codes of a key press: true when the menu used the key.
    bool key(std::uint16_t keyCode);
    // The enabled actions' texts and places, in order.
    std::vector<std::pair<QString, QRect>> items() const;
    // The text of the item under the pointer or chosen by the keys, empty for none.
    QString highlightedText() const;
    void close();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    struct Item {
        QPointer<QAction> action; // null for a separator
        QRect rect;
    };
    // The item under a point in the menu's coordinates, -1 for none.
    int itemAt(QPoint at) const;
    void layoutItems();
    void moveHighlight(int step);
    void trigger(int index);

    std::vector<Item> items_;
    int highlighted_ = -1;
    std::function<void()> closed_;
};

} // namespace app::desktop
