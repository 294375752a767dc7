#pragma once

#include "app/core/PanelWindow.h"
#include "app/desktop/FloatingPanel.h"
#include "app/desktop/SurfaceMenu.h"
#include "platform/Event.h"
#include "platform/linux/desktop/PanelSurface.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace app::desktop {

// The switcher panel where the display system gives it a surface of its own
// instead of a toolkit window (a Wayland overlay layer): the same Qt views,
// laid out in a widget that is never shown on screen, rendered into the
// surface's buffers whenever they ask to be repainted. The surface's keys go
// to the application's key monitors; its pointer events to the views. Main
// thread only.
class SurfacePanel : public QObject, public PanelWindow {
public:
    using KeySink = std::function<void(const platform::Event&)>;

    SurfacePanel(platform::desktop::PanelSurface& surface, const FloatingPanelOptions& options,
                 platform::UserDefaults& defaults, KeySink keys, FloatingPanel::Hooks hooks);
    ~SurfacePanel() override;

    bool isVisible() const override { return surface_.mapped(); }
    void orderOut() override;
    void makeKeyAndOrderFront() override;
    void orderFront() override;
    void makeKey() override;
    void resignKey() override;
    bool isKeyWindow() const override { return surface_.mapped() && surface_.takesKeyboard(); }
    void setContentSize(Size size) override;
    void setContentView(std::shared_ptr<HostingView> view) override;
    bool isFloatingPanel() const override { return true; }
    void setCloseOnLostFocus(bool value) override { closeOnLostFocus_ = value; }
    void setRestoreWindowPosition(bool value) override { restoreWindowPosition_ = value; }

    bool holdsKeyboard() const { return surface_.hasKeyboard(); }
    QWidget* content() { return &container_; }
    // The toolbar's menu while it is open over the panel.
    SurfaceMenu* menu() const { return menu_.get(); }
    // The menu has been drawn into a frame sent to the compositor.
    bool menuOnScreen() const { return menu_ && menuDrawn_; }
    // The menu's top-left corner in the panel's coordinates.
    QPoint menuOrigin() const { return menuAt_; }
    // Where the panel (not the menu grown around it) lies in the
    // compositor's layout, once known.
    std::optional<QRect> frame() const;

    // A surface that never gets the keyboard within this bound ends the
    // switch instead of staying up.
    static constexpr int kKeyboardDeadlineMilliseconds = 1000;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void show(bool takeKeyboard);
    void scheduleRender();
    void render();
    void pointer(const platform::desktop::PointerEvent& event);
    void frameChanged();
    void openMenu(QMenu& menu, QPoint anchor);
    void closeMenu();
    // Sizes the surface to hold the panel and the open menu; a centred
    // panel grows on every side alike, so that it stays where it is.
    void fitSurface();
    // The widget under a point of the panel's coordinates, and the point in
    // that widget's own.
    QWidget* widgetAt(QPointF at) const;
    QPointF mapTo(QWidget* widget, QPointF at) const;
    // The saved place on the outputs there are now, when it is to be used.
    std::optional<std::pair<int, int>> savedPlace() const;
    void saveFrame();

    platform::desktop::PanelSurface& surface_;
    platform::UserDefaults& defaults_;
    KeySink keys_;
    FloatingPanel::Hooks hooks_;
    QWidget container_;
    std::shared_ptr<HostingView> content_;
    QWidget* contentWidget_ = nullptr;
    QPointer<QWidget> hovered_;
    QPointer<QWidget> pressed_;
    std::unique_ptr<SurfaceMenu> menu_;
    QPoint menuAt_;  // the menu's top-left corner in the panel's coordinates
    QPoint origin_;  // the panel's top-left corner in the surface
    std::optional<QPointF> dragGrab_; // where the background was pressed, while it is dragged
    bool dragged_ = false;
    bool menuDrawn_ = false;
    bool anchored_ = false; // placed by its top-left corner, not centred
    bool closeOnLostFocus_;
    bool restoreWindowPosition_;
    bool renderPending_ = false;
    bool rendering_ = false;
    QTimer repeat_;
    int repeatInterval_ = 40;
    std::optional<std::chrono::steady_clock::time_point> showRequested_;
};

} // namespace app::desktop
