#pragma once

#include "app/core/PanelWindow.h"
#include "platform/Scheduler.h"
#include "platform/UserDefaults.h"

#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QPropertyAnimation;
class QTimer;
class QWindow;

namespace platform::qt {
class PointerPresses;
}

namespace app::desktop {

// Zelvo's panel window. The switcher flavour is a frameless, translucent,
// rounded window that floats above everything without ever taking the input
// focus: while it is key (a switch in progress, or after a click into it) it
// holds an X11 keyboard grab, so it gets every key and the user's
// application stays active; a panel left on screen otherwise takes no keys. The settings flavour is an
// ordinary decorated window with its controls, also kept on top. Both go to
// full opacity while the pointer is over them, centre themselves when shown,
// and, when asked to, restore and save their frame under "FloatingPanelFrame".
class FloatingPanel : public QWidget, public PanelWindow {
public:
    struct Hooks {
        std::function<void(double milliseconds)> firstPaint; // show request -> first paint
        std::function<void()> frameChanged;                  // shown, hidden, moved or resized
    };

    FloatingPanel(const FloatingPanelOptions& options, platform::UserDefaults& defaults, platform::Queue& mainQueue);
    ~FloatingPanel() override;

    // PanelWindow.
    bool isVisible() const override { return QWidget::isVisible(); }
    // Hides the panel. A frame save still pending after a move is done now,
    // so hiding soon after a move does not lose the new place.
    void orderOut() override;
    void makeKeyAndOrderFront() override;
    void orderFront() override;
    void makeKey() override;
    void resignKey() override;
    bool isKeyWindow() const override;
    void setContentSize(Size size) override;
    void setContentView(std::shared_ptr<HostingView> view) override;
    bool isFloatingPanel() const override { return true; }
    void setCloseOnLostFocus(bool value) override { closeOnLostFocus_ = value; }
    void setRestoreWindowPosition(bool value) override { restoreWindowPosition_ = value; }

    // Another application became active: closes the panel when it should.
    void resignMain();
    // Hides the panel and, when it restores its position, saves the frame.
    void closePanel();
    // Takes the keyboard again (after a popup menu of ours had it) when the
    // panel is meant to have it.
    void ensureKeyboardGrab();
    // A pointer button went down at `at` (global): outside Zelvo's windows
    // the panel gives the keyboard back, even when the press goes to the
    // application that is already active and so moves no focus.
    void pointerPressed(QPoint at);
    // The input focus went to `window` of Zelvo, or to none of them: the
    // panel gives the keyboard back unless it went to the panel itself or
    // to one of its popup menus.
    void focusMoved(QWindow* window);
    // The settings flavour has a taskbar entry only while Zelvo has one.
    void setShowsInTaskbar(bool value);

    Rect frame() const;
    void saveFrame();
    bool closeOnLostFocus() const { return closeOnLostFocus_; }
    bool restoreWindowPosition() const { return restoreWindowPosition_; }
    bool isManuallyMoved() const { return isManuallyMoved_; }
    bool showsWindowControls() const { return showsWindowControls_; }
    bool holdsKeyboard() const { return keyboardGrabbed_; }
    // Cut to its rounded outline (no compositing manager runs).
    bool isShaped() const { return !mask().isEmpty(); }
    void setHooks(Hooks hooks) { hooks_ = std::move(hooks); }

    static constexpr const char* kUserDefaultsFrameKey = "FloatingPanelFrame";

protected:
    void paintEvent(QPaintEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void centre();
    void animateOpacity(double to);
    void grabKeyboardNow();
    void releaseKeyboardGrab();
    void updateShape();
    void watchScreens();
    void screensChanged();
    void flushPendingSave();

    platform::UserDefaults& defaults_;
    platform::Queue& mainQueue_;
    bool closeOnLostFocus_;
    bool restoreWindowPosition_;
    bool showsWindowControls_;
    bool isManuallyMoved_ = false;
    std::shared_ptr<platform::Timer> timer_;
    std::shared_ptr<HostingView> content_;
    QWidget* contentWidget_ = nullptr;
    QPropertyAnimation* opacity_ = nullptr;
    QTimer* grabRetry_ = nullptr;
    std::unique_ptr<platform::qt::PointerPresses> presses_;
    int grabAttempts_ = 0;
    bool keyboardGrabbed_ = false;
    // Asked to take the keyboard (makeKey) and not yet told to give it back.
    bool wantsKeyboard_ = false;
    bool showsInTaskbar_ = true;
    std::optional<QPoint> dragOffset_;
    std::optional<std::chrono::steady_clock::time_point> showRequested_;
    Hooks hooks_;
};

} // namespace app::desktop
