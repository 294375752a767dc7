#pragma once

#include "app/core/NameFilter.h"
#include "platform/NotificationCenter.h"
#include "platform/Scheduler.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace app {

using platform::RunningApplicationPtr;

enum class SortingCriterion : std::int64_t { byActivationTime = 0, byName = 1 };
// Which applications the switcher lists ("showApplicationsFrom").
enum class ApplicationsShown : std::int64_t { allDesktops = 0, currentDesktop = 1 };

// The switcher's model: the user-facing running applications, their display
// order, the highlighted one, and bringing one to the front. It follows the
// workspace's notifications and refreshes itself every 3 s. Everything runs on
// the main thread.
//
// Two applications are the same when they are the same object (pointer
// equality), never by identifier.
class AppList {
public:
    using ChangeObserver = std::function<void()>;
    using ObserverId = std::uint64_t;

    struct Environment {
        platform::Workspace& workspace;
        platform::NotificationCenter& notificationCenter; // the default centre ("needsResize")
        platform::UserDefaults& defaults;                 // "sortingCriterion"
        platform::Scheduler& scheduler;                   // main queue timer; now() for activations
        // Zelvo's own application id (its desktop id); never listed.
        std::optional<std::string> currentAppBundleIdentifier;
    };

    explicit AppList(Environment environment);
    ~AppList();
    AppList(const AppList&) = delete;
    AppList& operator=(const AppList&) = delete;

    // The listed applications in display order, computed on every call.
    std::vector<RunningApplicationPtr> sortedApps() const;

    // The rows the panel shows, in its order: sortedApps() narrowed to the
    // desktop setting and to the names matching the filter, those matching
    // as a prefix or at word starts first.
    std::vector<RunningApplicationPtr> shownApps() const;
    // The typed filter (UTF-8), empty at every showing of the panel.
    const std::string& filter() const { return filter_; }
    // Narrows the rows and highlights the best match (nothing when none).
    void setFilter(std::string filter);
    // How `app`'s name matches the filter, if it does.
    std::optional<NameMatch> matchOf(const RunningApplicationPtr& app) const;
    // A new showing of the panel: no filter, no chosen window, none expanded.
    void beginShowing();

    // The windows of `app` the switcher offers (the desktop setting applied),
    // most recently used first.
    std::vector<platform::WindowInfo> windowsOf(const RunningApplicationPtr& app) const;
    // The window of the highlighted application chosen with the key above
    // Tab; activation then brings only that window.
    std::optional<std::uint64_t> chosenWindow() const { return chosenWindow_; }
    // The highlighted application's next window in most-recent order (the
    // first step goes to the one behind its front window), or the previous one.
    void chooseNextWindow(bool forward);
    // The application whose windows are listed under its row, if any.
    const RunningApplicationPtr& expandedApp() const { return expandedApp_; }
    void setExpanded(bool expanded);

    // On the highlighted application: asks the chosen (else the front)
    // window to close; asks every window to close; minimises the chosen
    // (else the front) window. Nothing is ever killed.
    void closeHighlightedWindow();
    void quitHighlighted();
    void minimizeHighlightedWindow();
    // True for a moment after one of the three above: the window system
    // moves the focus when the front window goes, and the panel the user is
    // working in must not take that for the user leaving it.
    bool actedOnWindowsRecently() const;
    // Activates the highlighted application, or only its chosen window.
    void activateHighlighted();
    // A click on `app`'s row: its chosen window when it is the highlighted
    // one and has one, else the application.
    void activateRow(const RunningApplicationPtr& app);
    void activateWindow(const RunningApplicationPtr& app, std::uint64_t window);

    // The highlighted row; may name an application no longer listed.
    const RunningApplicationPtr& hoveredApp() const { return hoveredApp_; }
    // Sets the highlight and announces a change.
    void setHoveredApp(RunningApplicationPtr app);

    void selectNext();
    void selectPrevious();
    // Highlights the second row (the previously used application in
    // activation order), or the only one; with none, leaves the highlight.
    void resetSelection();
    // Highlights row `index` when it exists.
    void selectApp(std::int64_t index);
    // Unhides and activates `app` with all its windows; when it did not
    // become frontmost, opens it again through the workspace.
    void activate(const RunningApplicationPtr& app);

    SortingCriterion sortingCriterion() const;
    ApplicationsShown applicationsShown() const;

    // Views subscribe here; observers run after every announced change.
    ObserverId addChangeObserver(ChangeObserver observer);
    void removeChangeObserver(ObserverId id);

    // Driven by the workspace notifications and the refresh timer; public so
    // that tests and benchmarks can feed the list directly.
    void addApp(const RunningApplicationPtr& app);
    void removeApp(const RunningApplicationPtr& app);
    void recordActivation(const RunningApplicationPtr& app);
    void refreshApps();

    // Bundle identifiers never listed (system agents).
    static const std::set<std::string>& excludedBundleIdentifiers();

private:
    void loadRunningApps();
    bool isListable(const platform::RunningApplication& app) const;
    bool isSelf(const platform::RunningApplication& app) const;
    void announceChange();
    void postNeedsResize();
    bool onCurrentDesktop(const RunningApplicationPtr& app) const;
    std::optional<platform::WindowInfo> targetWindow() const;

    Environment env_;
    RunningApplicationPtr hoveredApp_;
    std::string filter_;
    std::optional<std::uint64_t> chosenWindow_;
    std::optional<platform::WallTime> lastWindowAction_;
    RunningApplicationPtr expandedApp_;
    // Whether each application has a window on the current desktop, asked
    // once per showing (the answer costs the window system a round trip).
    mutable std::map<const platform::RunningApplication*, bool> onDesktop_;
    std::vector<RunningApplicationPtr> runningApps_;
    std::map<std::string, platform::WallTime> appActivationTimes_;
    std::vector<platform::Subscription> subscriptions_;
    std::shared_ptr<platform::Timer> refreshTimer_;
    std::map<ObserverId, std::shared_ptr<ChangeObserver>> changeObservers_;
    ObserverId nextObserverId_ = 1;
};

// Orders two display names: -1, 0 or 1. Uses the collation of the user's
// locale (LC_COLLATE, as the program set it from the environment); under the
// C/POSIX locale, whose collation is plain byte order, it compares ignoring
// letter case first and puts lower case before upper case when the names
// differ only in case, which is what the usual locales do.
int localizedCompare(const std::string& a, const std::string& b);
// The fallback above on its own.
int caseInsensitiveFirstCompare(const std::string& a, const std::string& b);

} // namespace app
