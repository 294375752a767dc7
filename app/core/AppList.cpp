#include "app/core/AppList.h"

#include "platform/ApplicationId.h"

#include "app/core/Preferences.h"

#include <algorithm>
#include <clocale>
#include <cstring>
#include <utility>

namespace app {

using platform::ActivationPolicy;
using platform::RunningApplication;

namespace {

constexpr double kRefreshInterval = 3.0;
constexpr double kWindowActionFocusGrace = 2.0;

bool sameIdentifier(const std::optional<std::string>& a, const std::optional<std::string>& b) { return a == b; }

// True when LC_COLLATE orders by bytes (the C and POSIX locales, C.UTF-8).
bool collationIsByteOrder() {
    const char* name = std::setlocale(LC_COLLATE, nullptr);
    if (!name) return true;
    return std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0 || std::strncmp(name, "C.", 2) == 0;
}

char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

int sign(int v) { return (v > 0) - (v < 0); }

} // namespace

int caseInsensitiveFirstCompare(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        auto x = static_cast<unsigned char>(foldAscii(a[i]));
        auto y = static_cast<unsigned char>(foldAscii(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    // Equal but for case: lower case first ("apple" before "Apple").
    for (std::size_t i = 0; i < n; ++i) {
        if (a[i] == b[i]) continue;
        return (a[i] >= 'a' && a[i] <= 'z') ? -1 : 1;
    }
    return 0;
}

namespace {

int collateCompare(const std::string& a, const std::string& b) { return sign(std::strcoll(a.c_str(), b.c_str())); }

// The comparison localizedCompare uses under the current LC_COLLATE; looked
// up once per sort rather than once per comparison.
using NameCompare = int (*)(const std::string&, const std::string&);
NameCompare currentNameCompare() { return collationIsByteOrder() ? caseInsensitiveFirstCompare : collateCompare; }

} // namespace

int localizedCompare(const std::string& a, const std::string& b) { return currentNameCompare()(a, b); }

const std::set<std::string>& AppList::excludedBundleIdentifiers() {
    static const std::set<std::string> excluded = {
        "com.apple.dashboard",
        "com.apple.loginwindow",
        "com.apple.notificationcenterui",
        "com.apple.wifi.WiFiAgent",
        "com.apple.Spotlight",
        "com.apple.systemuiserver",
        "com.apple.dock",
        "com.apple.AirPlayUIAgent",
        "com.apple.dock.extra",
        "com.apple.PowerChime",
        "com.apple.WebKit.Networking",
        "com.apple.WebKit.WebContent",
        "com.apple.WebKit.GPU",
        "com.apple.FollowUpUI",
        "com.apple.controlcenter",
        "com.apple.SoftwareUpdateNotificationManager",
        "com.apple.TextInputMenuAgent",
        "com.apple.TextInputSwitcher",
        // The Linux desktop's own parts, by desktop-entry id and by the
        // WM_CLASS class that stands for one without an entry: Zelvo
        // itself, the panels and docks.
        platform::kApplicationId,
        "xfce4-panel",
        "Xfce4-panel",
        "mate-panel",
        "Mate-panel",
        "lxpanel",
        "Lxpanel",
        "plank",
        "Plank",
        "docky",
        "Docky",
        "cairo-dock",
        "Cairo-dock",
        "tint2",
        "Tint2",
        "polybar",
        "Polybar",
        "waybar",
        "Waybar",
    };
    return excluded;
}

AppList::AppList(Environment environment) : env_(std::move(environment)) {
    loadRunningApps();

    auto& center = env_.workspace.notificationCenter();
    auto subscribe = [&](const char* name, void (AppList::*member)(const RunningApplicationPtr&)) {
        auto id = center.addObserver(name, nullptr, [this, member](const platform::Notification& n) {
            const auto* app = n.info<RunningApplicationPtr>(platform::kWorkspaceApplicationKey);
            if (app && *app) (this->*member)(*app);
        });
        subscriptions_.emplace_back(center, id);
    };
    subscribe(platform::kWorkspaceDidLaunchApplication, &AppList::addApp);
    subscribe(platform::kWorkspaceDidTerminateApplication, &AppList::removeApp);
    subscribe(platform::kWorkspaceDidActivateApplication, &AppList::recordActivation);
    auto id = center.addObserver(platform::kWorkspaceDidDeactivateApplication, nullptr,
                                 [this](const platform::Notification& n) {
                                     if (n.info<RunningApplicationPtr>(platform::kWorkspaceApplicationKey))
                                         refreshApps();
                                 });
    subscriptions_.emplace_back(center, id);

    // The list owns the timer and cancels it when destroyed, so the timer
    // never sees a dead list.
    refreshTimer_ =
        env_.scheduler.mainQueue().schedule(platform::Seconds(kRefreshInterval), true, [this] { refreshApps(); });
}

AppList::~AppList() {
    if (refreshTimer_) refreshTimer_->cancel();
}

SortingCriterion AppList::sortingCriterion() const {
    auto stored = env_.defaults.object(kSortingCriterion);
    if (!stored) return SortingCriterion::byName;
    return stored->integerValue() == 0 ? SortingCriterion::byActivationTime : SortingCriterion::byName;
}

std::vector<RunningApplicationPtr> AppList::sortedApps() const {
    const std::size_t n = runningApps_.size();
    std::vector<std::size_t> order(n);
    for (std::size_t i = 0; i < n; ++i) order[i] = i;

    // Each key is read once per call, not once per comparison.
    if (sortingCriterion() == SortingCriterion::byName) {
        std::vector<std::string> names(n);
        for (std::size_t i = 0; i < n; ++i) names[i] = runningApps_[i]->localizedName().value_or("");
        const auto compare = currentNameCompare();
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return compare(names[a], names[b]) < 0; });
    } else {
        std::vector<platform::WallTime> times(n, platform::WallTime::min());
        for (std::size_t i = 0; i < n; ++i) {
            auto it = appActivationTimes_.find(runningApps_[i]->bundleIdentifier().value_or(""));
            if (it != appActivationTimes_.end()) times[i] = it->second;
        }
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return times[a] > times[b]; });
    }

    std::vector<RunningApplicationPtr> sorted;
    sorted.reserve(n);
    for (std::size_t i : order) sorted.push_back(runningApps_[i]);
    return sorted;
}

ApplicationsShown AppList::applicationsShown() const {
    auto stored = env_.defaults.object(kShowApplicationsFrom);
    return stored && stored->integerValue() == 1 ? ApplicationsShown::currentDesktop : ApplicationsShown::allDesktops;
}

bool AppList::onCurrentDesktop(const RunningApplicationPtr& app) const {
    auto [it, inserted] = onDesktop_.emplace(app.get(), true);
    if (inserted) {
        // An application whose windows the platform does not tell stays.
        auto windows = app->windowList();
        it->second = windows.empty() || std::any_of(windows.begin(), windows.end(),
                                                    [](const platform::WindowInfo& w) { return w.onCurrentDesktop; });
    }
    return it->second;
}

std::vector<RunningApplicationPtr> AppList::shownApps() const {
    auto sorted = sortedApps();
    const bool desktopOnly = applicationsShown() == ApplicationsShown::currentDesktop;
    if (!desktopOnly && filter_.empty()) return sorted;
    std::vector<std::pair<NameMatch::Kind, RunningApplicationPtr>> kept;
    for (auto& app : sorted) {
        if (desktopOnly && !onCurrentDesktop(app)) continue;
        if (auto match = matchOf(app)) kept.emplace_back(match->kind, std::move(app));
    }
    // Better matches first; within a kind the list's own order.
    std::stable_sort(kept.begin(), kept.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<RunningApplicationPtr> shown;
    shown.reserve(kept.size());
    for (auto& [kind, app] : kept) shown.push_back(std::move(app));
    return shown;
}

std::optional<NameMatch> AppList::matchOf(const RunningApplicationPtr& app) const {
    if (!app) return std::nullopt;
    return matchName(app->localizedName().value_or("App"), filter_);
}

void AppList::setFilter(std::string filter) {
    filter_ = std::move(filter);
    chosenWindow_.reset();
    expandedApp_.reset();
    auto shown = shownApps();
    hoveredApp_ = shown.empty() ? nullptr : shown.front();
    announceChange();
    postNeedsResize();
}

void AppList::beginShowing() {
    filter_.clear();
    chosenWindow_.reset();
    expandedApp_.reset();
    onDesktop_.clear();
}

std::vector<platform::WindowInfo> AppList::windowsOf(const RunningApplicationPtr& app) const {
    if (!app) return {};
    auto windows = app->windowList();
    if (applicationsShown() == ApplicationsShown::currentDesktop)
        windows.erase(std::remove_if(windows.begin(), windows.end(),
                                     [](const platform::WindowInfo& w) { return !w.onCurrentDesktop; }),
                      windows.end());
    return windows;
}

void AppList::chooseNextWindow(bool forward) {
    auto windows = windowsOf(hoveredApp_);
    if (windows.empty()) return;
    const std::size_t n = windows.size();
    std::size_t at = 0; // nothing chosen yet: the front window
    for (std::size_t i = 0; i < n; ++i)
        if (chosenWindow_ && windows[i].id == *chosenWindow_) at = i;
    chosenWindow_ = windows[forward ? (at + 1) % n : (at + n - 1) % n].id;
    announceChange();
}

void AppList::setExpanded(bool expanded) {
    auto app = expanded ? hoveredApp_ : nullptr;
    if (app == expandedApp_) return;
    expandedApp_ = std::move(app);
    announceChange();
    postNeedsResize();
}

std::optional<platform::WindowInfo> AppList::targetWindow() const {
    auto windows = windowsOf(hoveredApp_);
    for (const auto& w : windows)
        if (chosenWindow_ && w.id == *chosenWindow_) return w;
    if (windows.empty()) return std::nullopt;
    return windows.front();
}

bool AppList::actedOnWindowsRecently() const {
    return lastWindowAction_ && env_.scheduler.now() - *lastWindowAction_ < platform::Seconds(kWindowActionFocusGrace);
}

void AppList::closeHighlightedWindow() {
    auto app = hoveredApp_;
    auto window = targetWindow();
    if (!window) return;
    lastWindowAction_ = env_.scheduler.now();
    chosenWindow_.reset();
    app->closeWindow(window->id);
    announceChange();
}

void AppList::quitHighlighted() {
    auto app = hoveredApp_; // the list may drop it while its windows go
    if (!app) return;
    chosenWindow_.reset();
    lastWindowAction_ = env_.scheduler.now();
    for (const auto& w : app->windowList()) app->closeWindow(w.id);
    announceChange();
}

void AppList::minimizeHighlightedWindow() {
    auto window = targetWindow();
    if (!window) return;
    lastWindowAction_ = env_.scheduler.now();
    hoveredApp_->minimizeWindow(window->id);
    announceChange();
}

void AppList::activateHighlighted() { activateRow(hoveredApp_); }

void AppList::activateRow(const RunningApplicationPtr& app) {
    if (app && app == hoveredApp_ && chosenWindow_) activateWindow(app, *chosenWindow_);
    else activate(app);
}

void AppList::activateWindow(const RunningApplicationPtr& app, std::uint64_t window) {
    if (!app) return;
    // A window gone meanwhile: the application as a whole.
    if (!app->activateWindow(window)) activate(app);
}

void AppList::setHoveredApp(RunningApplicationPtr app) {
    if (app != hoveredApp_) chosenWindow_.reset();
    hoveredApp_ = std::move(app);
    announceChange();
}

bool AppList::isSelf(const RunningApplication& app) const {
    return sameIdentifier(app.bundleIdentifier(), env_.currentAppBundleIdentifier);
}

bool AppList::isListable(const RunningApplication& app) const {
    if (auto id = app.bundleIdentifier(); id && excludedBundleIdentifiers().count(*id)) return false;
    return app.isFinishedLaunching() && app.activationPolicy() == ActivationPolicy::Regular;
}

void AppList::loadRunningApps() {
    for (const auto& app : env_.workspace.runningApplications())
        if (app) addApp(app);
}

void AppList::addApp(const RunningApplicationPtr& app) {
    if (app->activationPolicy() != ActivationPolicy::Regular) return;
    if (isSelf(*app)) return;
    if (!isListable(*app)) return;
    auto sorted = sortedApps();
    if (std::find(sorted.begin(), sorted.end(), app) != sorted.end()) {
        postNeedsResize();
        return;
    }
    sorted.push_back(app);
    runningApps_ = std::move(sorted);
    announceChange();
    postNeedsResize();
}

void AppList::removeApp(const RunningApplicationPtr& app) {
    postNeedsResize();
    auto sorted = sortedApps();
    auto it = std::find(sorted.begin(), sorted.end(), app);
    if (it == sorted.end()) return;
    // A highlighted row that goes hands the highlight to the row taking its
    // place (or the last one), so that the panel stays usable.
    std::optional<std::size_t> highlightAt;
    if (hoveredApp_ == app) {
        auto shown = shownApps();
        highlightAt = std::find(shown.begin(), shown.end(), app) - shown.begin();
    }
    sorted.erase(it);
    runningApps_ = std::move(sorted);
    onDesktop_.erase(app.get());
    if (expandedApp_ == app) expandedApp_.reset();
    if (highlightAt) {
        auto shown = shownApps();
        chosenWindow_.reset();
        hoveredApp_ = shown.empty() ? nullptr : shown[std::min(*highlightAt, shown.size() - 1)];
    }
    announceChange();
    postNeedsResize();
}

void AppList::recordActivation(const RunningApplicationPtr& app) {
    if (auto id = app->bundleIdentifier()) appActivationTimes_[*id] = env_.scheduler.now();
}

void AppList::refreshApps() {
    onDesktop_.clear();
    std::vector<RunningApplicationPtr> kept;
    for (auto& app : sortedApps())
        if (app->activationPolicy() == ActivationPolicy::Regular && !isSelf(*app) && isListable(*app))
            kept.push_back(std::move(app));
    runningApps_ = std::move(kept);
    announceChange();
}

void AppList::selectNext() {
    auto sorted = shownApps();
    const std::size_t n = sorted.size();
    if (n == 0) return;
    auto it = hoveredApp_ ? std::find(sorted.begin(), sorted.end(), hoveredApp_) : sorted.end();
    if (it == sorted.end()) {
        setHoveredApp(sorted.front());
        return;
    }
    setHoveredApp(sorted[(static_cast<std::size_t>(it - sorted.begin()) + 1) % n]);
}

void AppList::selectPrevious() {
    auto sorted = shownApps();
    const std::size_t n = sorted.size();
    if (n == 0) return;
    auto it = hoveredApp_ ? std::find(sorted.begin(), sorted.end(), hoveredApp_) : sorted.end();
    if (it == sorted.end()) {
        setHoveredApp(sorted.back());
        return;
    }
    setHoveredApp(sorted[(static_cast<std::size_t>(it - sorted.begin()) + n - 1) % n]);
}

void AppList::resetSelection() {
    auto sorted = shownApps();
    if (sorted.size() > 1) setHoveredApp(sorted[1]);
    else if (sorted.size() == 1) setHoveredApp(sorted[0]);
}

void AppList::selectApp(std::int64_t index) {
    auto sorted = shownApps();
    if (index >= 0 && static_cast<std::size_t>(index) < sorted.size())
        setHoveredApp(sorted[static_cast<std::size_t>(index)]);
}

void AppList::activate(const RunningApplicationPtr& app) {
    if (!app) return;
    app->unhide();
    app->activate(platform::ActivateAllWindows | platform::ActivateIgnoringOtherApps);
    auto frontmost = env_.workspace.frontmostApplication();
    if (!frontmost) return;
    if (sameIdentifier(app->bundleIdentifier(), frontmost->bundleIdentifier())) return;
    if (auto url = env_.workspace.urlForApplication(app->bundleIdentifier().value_or("")))
        env_.workspace.openApplication(*url, platform::OpenConfiguration{}, nullptr);
}

AppList::ObserverId AppList::addChangeObserver(ChangeObserver observer) {
    ObserverId id = nextObserverId_++;
    changeObservers_.emplace(id, std::make_shared<ChangeObserver>(std::move(observer)));
    return id;
}

void AppList::removeChangeObserver(ObserverId id) { changeObservers_.erase(id); }

void AppList::announceChange() {
    // A copy, so observers may add or remove observers while being called.
    auto observers = changeObservers_;
    for (auto& [id, observer] : observers)
        if (changeObservers_.count(id)) (*observer)();
}

void AppList::postNeedsResize() { env_.notificationCenter.post(kNeedsResize); }

} // namespace app
