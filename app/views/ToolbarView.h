#pragma once

#include "platform/UserDefaults.h"

#include <QAbstractButton>
#include <QWidget>

class QMenu;

namespace app {
class AppDelegate;
}

namespace app::views {

// A small painted button that grows to 120 % and turns blue under the pointer.
class GlyphButton : public QAbstractButton {
public:
    explicit GlyphButton(int pixelSize, QWidget* parent = nullptr);
    bool isHovering() const { return hovering_; }
    double scale() const { return hovering_ ? 1.2 : 1.0; }
    QColor tint() const;
    QSize sizeHint() const override;

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    virtual bool tinted() const { return hovering_; }
    int pixelSize_;

private:
    bool hovering_ = false;
};

// The pin: "pin" tilted by 30 degrees, or "pin.fill" upright and blue when
// pinned.
class PinButton : public GlyphButton {
public:
    explicit PinButton(bool pinned, QWidget* parent = nullptr);
    bool isPinned() const { return pinned_; }
    void setPinned(bool value);
    double rotation() const { return pinned_ ? 0.0 : 30.0; }
    bool isFilled() const { return pinned_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool tinted() const override { return pinned_ || isHovering(); }

private:
    bool pinned_;
};

// "ellipsis.circle": opens the toolbar menu.
class MenuButton : public GlyphButton {
public:
    explicit MenuButton(QWidget* parent = nullptr) : GlyphButton(18, parent) {}

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The top strip of the switcher panel: the pin button at the left, the menu
// button at the right. The pin writes "isPinned"; the menu offers the
// delegate's commands.
class ToolbarView : public QWidget {
public:
    ToolbarView(AppDelegate& delegate, platform::UserDefaults& defaults, QWidget* parent = nullptr);

    PinButton* pinButton() const { return pin_; }
    MenuButton* menuButton() const { return menuButton_; }
    QMenu* menu() const { return menu_; }
    bool isPinned() const { return pin_->isPinned(); }

private:
    void togglePin();
    void buildMenu();
    void popUpMenu();

    AppDelegate& delegate_;
    platform::UserDefaults& defaults_;
    PinButton* pin_;
    MenuButton* menuButton_;
    QMenu* menu_;
};

} // namespace app::views
