#pragma once

#include <memory>

namespace app {

struct Size {
    double width = 0;
    double height = 0;
    bool operator==(const Size&) const = default;
};

struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    bool operator==(const Rect&) const = default;
};

// Hosts one view (the switcher list, the settings view) inside a window.
class HostingView {
public:
    virtual ~HostingView() = default;
    // The size the content wants, after the last layout.
    virtual Size fittingSize() = 0;
    // Lays the content out now when something changed since the last layout.
    virtual void layoutIfNeeded() = 0;
};

// A window as the delegate drives it: the switcher panel, the settings panel,
// or the plain window made when there is no content to host. All calls come
// from the main thread.
class PanelWindow {
public:
    virtual ~PanelWindow() = default;
    virtual bool isVisible() const = 0;
    // Hides the window.
    virtual void orderOut() = 0;
    // Shows the window in front and gives it the keyboard. A floating panel
    // restores its saved frame (when restoreWindowPosition) or centres itself.
    virtual void makeKeyAndOrderFront() = 0;
    // Shows the window in front, placed as above, without taking the keyboard.
    virtual void orderFront() = 0;
    // Takes the keyboard (the window stays where it is).
    virtual void makeKey() = 0;
    // Gives the keyboard back to the user's application; the window stays up.
    virtual void resignKey() = 0;
    // True while the window takes the keyboard (asked for with makeKey or
    // makeKeyAndOrderFront, until resignKey or hiding).
    virtual bool isKeyWindow() const = 0;
    virtual void setContentSize(Size size) = 0;
    // Replaces the hosted content; the window keeps the view alive.
    virtual void setContentView(std::shared_ptr<HostingView> view) = 0;

    // True for a floating panel; the two flags below only matter there (a
    // plain window ignores them).
    virtual bool isFloatingPanel() const = 0;
    // Hide when the panel stops being the active window.
    virtual void setCloseOnLostFocus(bool value) = 0;
    // Restore the saved frame on showing and save it on moves.
    virtual void setRestoreWindowPosition(bool value) = 0;
};

using PanelWindowPtr = std::shared_ptr<PanelWindow>;

// How a floating panel starts. Backing is always buffered and creation never
// deferred.
struct FloatingPanelOptions {
    Rect contentRect;
    bool showsWindowControls = false;
    bool closeOnLostFocus = true;
    bool restoreWindowPosition = false;
};

class PanelFactory {
public:
    virtual ~PanelFactory() = default;
    // A plain window, not a floating panel.
    virtual PanelWindowPtr makeWindow() = 0;
    // A floating panel (frameless unless showsWindowControls, above other
    // windows), not yet shown.
    virtual PanelWindowPtr makeFloatingPanel(const FloatingPanelOptions& options) = 0;
};

} // namespace app
