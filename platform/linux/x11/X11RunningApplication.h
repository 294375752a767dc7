#pragma once

#include "platform/Workspace.h"
#include "platform/linux/x11/WindowFacts.h"
#include "platform/linux/x11/X11Connection.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform::x11 {

// One application on the X11 desktop: the client windows that share an
// application key. The workspace keeps the object for the application's whole
// life and updates its windows; everything runs on the main thread.
class X11RunningApplication : public RunningApplication {
public:
    struct Identity {
        std::string key;
        pid_t pid = 0;
        std::optional<std::string> bundleIdentifier;
        std::optional<std::string> name;
        std::optional<std::string> bundleURL;
        std::optional<std::string> iconName; // the desktop entry's Icon
        bool operator==(const Identity&) const = default;
    };

    X11RunningApplication(std::shared_ptr<X11Connection> connection, Identity identity);

    pid_t processIdentifier() const override { return identity_.pid; }
    std::optional<std::string> bundleIdentifier() const override { return identity_.bundleIdentifier; }
    std::optional<std::string> localizedName() const override { return identity_.name; }
    // _NET_WM_ICON of the first window that has one.
    Icon icon() const override;
    std::uint64_t iconVersion() const override { return iconVersion_; }
    std::optional<std::string> iconName() const override { return identity_.iconName; }
    // The WM_HINTS icon pixmap (and mask) of the first window that has one.
    Icon fallbackIcon() const override;
    std::optional<std::string> bundleURL() const override { return identity_.bundleURL; }
    ActivationPolicy activationPolicy() const override { return activationPolicyOf(windows_); }
    bool isFinishedLaunching() const override { return true; } // listed once it maps a window
    bool isHidden() const override;
    // Brings the application's best window to the front (de-iconified); with
    // ActivateAllWindows its other visible windows are raised below it first.
    bool activate(unsigned options) override;
    // De-iconifies the window activate() brings to the front, no other.
    bool unhide() override;
    // The ordinary windows (else every usable one): the one activate()
    // brings leads, the others follow from the top of the stacking order
    // down; titles and desktops are read fresh.
    std::vector<WindowInfo> windowList() const override;
    bool activateWindow(std::uint64_t window) override;
    // _NET_CLOSE_WINDOW through the window manager; without one that
    // supports it, WM_DELETE_WINDOW to a window that takes it.
    bool closeWindow(std::uint64_t window) override;
    // WM_CHANGE_STATE to IconicState.
    bool minimizeWindow(std::uint64_t window) override;

    const std::string& key() const { return identity_.key; }
    const Identity& identity() const { return identity_; }
    const std::vector<WindowFacts>& windows() const { return windows_; }
    bool owns(std::uint32_t window) const;
    void setWindows(std::vector<WindowFacts> windows);
    void updateWindow(const WindowFacts& facts);
    // The windows' icons changed: read them again when next asked.
    void invalidateIcon() {
        iconLoaded_ = fallbackLoaded_ = false;
        ++iconVersion_;
    }
    // Told when activate() has asked the window manager to bring us front.
    void setActivationListener(std::function<void(X11RunningApplication&)> listener) {
        activationListener_ = std::move(listener);
    }

private:
    // Where activation goes: the windows bottom to top, the one brought to
    // the front (0 when none is usable) and, when that one is on another
    // desktop only, the desktop to show first.
    struct Target {
        std::vector<std::uint32_t> order;
        std::map<std::uint32_t, std::uint32_t> desktops; // _NET_WM_DESKTOP of the windows that have one
        std::uint32_t window = 0;
        std::optional<std::uint32_t> switchToDesktop;
    };
    Target target() const;
    // The window to bring to the front among those `allowed`, from the
    // stacking order (bottom to top); 0 when none is usable.
    std::uint32_t frontWindow(const std::vector<std::uint32_t>& order,
                              const std::function<bool(std::uint32_t)>& allowed) const;
    const WindowFacts* factsOf(std::uint32_t window) const;
    // The atoms only the window operations use, interned on first use.
    struct WindowAtoms {
        xcb_atom_t closeWindow, protocols, deleteWindow, changeState, supported;
    };
    const WindowAtoms& windowAtoms() const;

    std::shared_ptr<X11Connection> connection_;
    Identity identity_;
    std::vector<WindowFacts> windows_;
    mutable Icon icon_;
    mutable bool iconLoaded_ = false;
    mutable Icon fallbackIcon_;
    mutable bool fallbackLoaded_ = false;
    std::uint64_t iconVersion_ = 0;
    std::function<void(X11RunningApplication&)> activationListener_;
    mutable std::optional<WindowAtoms> windowAtoms_;
};

// The icon of _NET_WM_ICON data (width, height, ARGB pixels, repeated) whose
// size suits a list row: the smallest not below `preferred`, else the largest.
Icon chooseIcon(const std::uint32_t* data, std::size_t count, int preferred = 32);

} // namespace platform::x11
