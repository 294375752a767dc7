#pragma once

#include "platform/NotificationCenter.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

enum class ActivationPolicy { Regular, Accessory, Prohibited };

// Options of RunningApplication::activate; the values are bit flags.
enum ActivationOptions : unsigned {
    ActivateAllWindows = 1,
    ActivateIgnoringOtherApps = 2,
};

// An application icon as 32-bit ARGB pixels, row by row; empty when the
// application has none.
struct Icon {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;
    bool empty() const { return width <= 0 || height <= 0 || argb.empty(); }
};

// One window of an application, as the switcher lists it.
struct WindowInfo {
    std::uint64_t id = 0; // names the window for the calls below, for its whole life
    std::string title;
    bool minimized = false;
    // On the desktop the user looks at (or on every desktop).
    bool onCurrentDesktop = true;
    // The number the desktop has for the user (1 for the first), when the
    // window is on one desktop only and the platform has desktops.
    std::optional<int> desktopNumber;
};

// One running application. The workspace hands out one object per
// application for its whole life, so two are the same application exactly
// when they are the same object.
class RunningApplication {
public:
    virtual ~RunningApplication() = default;
    virtual pid_t processIdentifier() const = 0;
    virtual std::optional<std::string> bundleIdentifier() const = 0;
    virtual std::optional<std::string> localizedName() const = 0;
    // The icon the application's windows carry; may be empty.
    virtual Icon icon() const = 0;
    // Changes whenever icon() or fallbackIcon() may answer differently.
    virtual std::uint64_t iconVersion() const { return 0; }
    // The icon-theme name (or file path) of the application's desktop entry:
    // shown when icon() is empty.
    virtual std::optional<std::string> iconName() const { return std::nullopt; }
    // A last picture before a placeholder: on X11 the WM_HINTS icon pixmap.
    virtual Icon fallbackIcon() const { return {}; }
    // Where the application lives: its desktop entry or executable path.
    virtual std::optional<std::string> bundleURL() const = 0;
    virtual ActivationPolicy activationPolicy() const = 0;
    virtual bool isFinishedLaunching() const = 0;
    virtual bool isHidden() const = 0;
    virtual bool activate(unsigned options) = 0;
    virtual bool unhide() = 0;

    // The application's windows the user can switch to, most recently used
    // first (the one activate() brings to the front leads).
    virtual std::vector<WindowInfo> windowList() const = 0;
    // Brings one window of windowList() to the front (restoring it when
    // minimised); false when it is gone.
    virtual bool activateWindow(std::uint64_t window) = 0;
    // Asks one window to close, as its close button does; the application
    // may ask the user first or refuse. Never ends a process.
    virtual bool closeWindow(std::uint64_t window) = 0;
    virtual bool minimizeWindow(std::uint64_t window) = 0;
};

using RunningApplicationPtr = std::shared_ptr<RunningApplication>;

// Names of the workspace centre's notifications; each carries the application
// in its user info under kWorkspaceApplicationKey (a RunningApplicationPtr).
inline constexpr const char* kWorkspaceDidLaunchApplication = "WorkspaceDidLaunchApplication";
inline constexpr const char* kWorkspaceDidTerminateApplication = "WorkspaceDidTerminateApplication";
inline constexpr const char* kWorkspaceDidActivateApplication = "WorkspaceDidActivateApplication";
inline constexpr const char* kWorkspaceDidDeactivateApplication = "WorkspaceDidDeactivateApplication";
inline constexpr const char* kWorkspaceApplicationKey = "WorkspaceApplication";

struct OpenConfiguration {
    bool activates = true;
};

class Workspace {
public:
    using OpenCompletion = std::function<void(RunningApplicationPtr, std::optional<std::string> error)>;

    virtual ~Workspace() = default;
    // The running applications in the platform's order.
    virtual std::vector<RunningApplicationPtr> runningApplications() = 0;
    virtual RunningApplicationPtr frontmostApplication() = 0;
    // The workspace's own notification centre (not the default one).
    virtual NotificationCenter& notificationCenter() = 0;
    // Where the application with this bundle identifier lives, if known.
    virtual std::optional<std::string> urlForApplication(const std::string& bundleIdentifier) = 0;
    virtual void openApplication(const std::string& url, const OpenConfiguration& configuration,
                                 OpenCompletion completion) = 0;
    virtual bool openURL(const std::string& url) = 0;
};

} // namespace platform
