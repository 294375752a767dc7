#pragma once

#include "app/core/PanelWindow.h"

#include <memory>

namespace app {

class AppDelegate;
class AppList;

// Parameters of the switcher's list view.
struct SwitcherViewOptions {
    int iconSize = 32;
    bool showAppNames = true;
    double spacing = 0;
};

// Builds the views the delegate puts into its panels. The views keep the
// references they are given; the delegate and the list outlive them.
class ViewFactory {
public:
    virtual ~ViewFactory() = default;
    // The switcher's list view over `list`; it renders the list (observing
    // AppList::addChangeObserver), reports hovers through
    // AppList::setHoveredApp and clicks through AppList::activate, and posts
    // kNeedsResize on the default notification centre after each layout.
    virtual std::shared_ptr<HostingView> makeSwitcherView(AppDelegate& delegate, AppList& list,
                                                          const SwitcherViewOptions& options) = 0;
    // The settings view (also the first-run welcome). It reads and writes the
    // preferences kShowInDock, kDoNotHideWhenHotkeyIsReleased and
    // kSortingCriterion through delegate.defaults(), and calls
    // delegate.closeSettings(), delegate.openAbout() and
    // delegate.checkForUpdates().
    virtual std::shared_ptr<HostingView> makeSettingsView(AppDelegate& delegate) = 0;
};

} // namespace app
