#pragma once

namespace app {

// Preference keys of the application (standard user defaults).
inline constexpr const char* kShowInDock = "showInDock";                                       // bool
inline constexpr const char* kIsPinned = "isPinned";                                           // bool
inline constexpr const char* kDoNotHideWhenHotkeyIsReleased = "DoNotHideWhenHotkeyIsReleased"; // bool
inline constexpr const char* kSortingCriterion = "sortingCriterion";     // integer: 0 activation time, else name
inline constexpr const char* kWelcomePassed = "WelcomePassed";           // bool
inline constexpr const char* kFloatingPanelFrame = "FloatingPanelFrame"; // data: the saved panel frame
// integer: which applications the switcher lists, 0 those of every desktop
// (the default), 1 those with a window on the current desktop
inline constexpr const char* kShowApplicationsFrom = "showApplicationsFrom";
inline constexpr const char* kCrashOnExceptions = "NSApplicationCrashOnExceptions"; // bool, registered

// Read by the settings view and by the release handling alike: registered at
// launch so both see the same value while the user has not chosen.
// The panel switches on release of the hot key unless the user turns this on.
inline constexpr bool kDoNotHideWhenHotkeyIsReleasedDefault = false;

// Posted on the default notification centre (no sender) when the switcher
// panel should fit its content again.
inline constexpr const char* kNeedsResize = "needsResize";

// The named hot key that shows the panel.
inline constexpr const char* kShowFloatingPanel = "showFloatingPanel";

} // namespace app
