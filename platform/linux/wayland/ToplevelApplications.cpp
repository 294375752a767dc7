#include "platform/linux/wayland/ToplevelApplications.h"

#include <algorithm>

namespace platform::wayland {

namespace {

// Toplevels of one app id are one application; one without an id stands
// alone.
std::string applicationKey(ToplevelId toplevel, const ToplevelFacts& facts) {
    return facts.appId.empty() ? "toplevel:" + std::to_string(toplevel) : facts.appId;
}

} // namespace

WaylandRunningApplication::WaylandRunningApplication(ToplevelApplications& owner, std::string key,
                                                     ApplicationIdentity identity)
    : owner_(owner), key_(std::move(key)), identity_(std::move(identity)) {}

bool WaylandRunningApplication::isHidden() const {
    auto toplevels = owner_.toplevelsOf(*this);
    return !toplevels.empty() &&
           std::all_of(toplevels.begin(), toplevels.end(), [](const auto* t) { return t->facts.minimized; });
}

bool WaylandRunningApplication::activate(unsigned) { return owner_.activate(*this); }

std::vector<ToplevelId> WaylandRunningApplication::toplevels() const {
    std::vector<ToplevelId> ids;
    for (const auto* t : owner_.toplevelsOf(*this)) ids.push_back(t->id);
    return ids;
}

std::vector<WindowInfo> WaylandRunningApplication::windowList() const {
    std::vector<WindowInfo> windows;
    for (const auto* t : owner_.toplevelsOf(*this)) {
        WindowInfo info;
        info.id = t->id;
        info.title = t->facts.title;
        info.minimized = t->facts.minimized;
        windows.push_back(std::move(info));
    }
    return windows;
}

bool WaylandRunningApplication::activateWindow(std::uint64_t window) {
    return owner_.activate(*this, ToplevelId(window));
}

bool WaylandRunningApplication::closeWindow(std::uint64_t window) {
    if (!owner_.factsOf(*this, ToplevelId(window))) return false;
    owner_.requests_.close(ToplevelId(window));
    return true;
}

bool WaylandRunningApplication::minimizeWindow(std::uint64_t window) {
    if (!owner_.factsOf(*this, ToplevelId(window))) return false;
    owner_.requests_.setMinimized(ToplevelId(window));
    return true;
}

ToplevelApplications::ToplevelApplications(NotificationCenter& center, const void* sender, ToplevelRequests& requests,
                                           Resolver resolve, std::string ownAppId)
    : center_(center), sender_(sender), requests_(requests), resolve_(std::move(resolve)),
      ownAppId_(std::move(ownAppId)) {}

std::vector<const ToplevelApplications::Toplevel*>
ToplevelApplications::toplevelsOf(const WaylandRunningApplication& app) const {
    std::vector<const Toplevel*> result;
    for (const auto& t : toplevels_)
        if (t.app.get() == &app) result.push_back(&t);
    // Most recently active first; those never active after, as they came.
    std::stable_sort(result.begin(), result.end(),
                     [](const Toplevel* a, const Toplevel* b) { return a->lastActive > b->lastActive; });
    return result;
}

const ToplevelFacts* ToplevelApplications::factsOf(const WaylandRunningApplication& app, ToplevelId id) const {
    for (const auto& t : toplevels_)
        if (t.id == id && t.app.get() == &app) return &t.facts;
    return nullptr;
}

bool ToplevelApplications::activate(WaylandRunningApplication& app) {
    auto toplevels = toplevelsOf(app);
    if (toplevels.empty()) return false;
    return activate(app, toplevels.front()->id);
}

bool ToplevelApplications::activate(WaylandRunningApplication& app, ToplevelId id) {
    const ToplevelFacts* facts = factsOf(app, id);
    if (!facts) return false;
    if (facts->minimized) requests_.unsetMinimized(id);
    if (!requests_.activate(id)) return false;
    // The compositor answers with a state change a moment later; until then
    // the requested application counts as frontmost, so that a caller that
    // checks at once does not take the request for a failure.
    for (const auto& candidate : apps_)
        if (candidate.get() == &app) requested_ = candidate;
    return true;
}

std::shared_ptr<WaylandRunningApplication> ToplevelApplications::applicationFor(const Toplevel& toplevel) {
    const std::string key = applicationKey(toplevel.id, toplevel.facts);
    for (const auto& app : apps_)
        if (app->key() == key) return app;
    return nullptr;
}

void ToplevelApplications::detach(Toplevel& toplevel, std::vector<RunningApplicationPtr>& terminated) {
    auto app = std::move(toplevel.app);
    toplevel.app = nullptr;
    if (!app || !toplevelsOf(*app).empty()) return;
    apps_.erase(std::remove(apps_.begin(), apps_.end(), app), apps_.end());
    // Gone without a word: no deactivation follows for it.
    if (frontmost_ == app) frontmost_ = nullptr;
    if (requested_ == app) requested_ = nullptr;
    terminated.push_back(app);
}

void ToplevelApplications::update(ToplevelId id, const ToplevelFacts& facts) {
    if (!ownAppId_.empty() && facts.appId == ownAppId_) {
        closed(id); // ours, or it became ours: never listed
        return;
    }
    auto it = std::find_if(toplevels_.begin(), toplevels_.end(), [id](const Toplevel& t) { return t.id == id; });
    if (it == toplevels_.end()) it = toplevels_.insert(toplevels_.end(), Toplevel{id, {}, 0, nullptr});

    std::vector<RunningApplicationPtr> launched, terminated;
    const bool wasActivated = it->facts.activated;
    const bool moved = !it->app || it->app->key() != applicationKey(id, facts);
    it->facts = facts;
    if (facts.activated && !wasActivated) it->lastActive = ++activations_;
    if (moved) {
        // A new toplevel, or one whose app id changed: it joins the
        // application of its id, which starts with it when it is the first.
        auto previous = it->app;
        it->app = nullptr;
        if (previous) {
            Toplevel stale{id, {}, 0, previous};
            // The old application ends when this was its last toplevel.
            if (toplevelsOf(*previous).empty()) detach(stale, terminated);
        }
        it->app = applicationFor(*it);
        if (!it->app) {
            it->app = std::make_shared<WaylandRunningApplication>(*this, applicationKey(id, facts),
                                                                  resolve_(facts.appId, facts.title));
            apps_.push_back(it->app);
            launched.push_back(it->app);
        }
    }
    for (const auto& app : terminated) post(kWorkspaceDidTerminateApplication, app);
    for (const auto& app : launched) post(kWorkspaceDidLaunchApplication, app);
    refreshFrontmost(wasActivated != facts.activated || moved);
}

void ToplevelApplications::closed(ToplevelId id) {
    auto it = std::find_if(toplevels_.begin(), toplevels_.end(), [id](const Toplevel& t) { return t.id == id; });
    if (it == toplevels_.end()) return;
    auto app = it->app;
    const bool wasActivated = it->facts.activated;
    toplevels_.erase(it);
    std::vector<RunningApplicationPtr> terminated;
    if (app && toplevelsOf(*app).empty()) {
        Toplevel stale{id, {}, 0, app};
        detach(stale, terminated);
    }
    for (const auto& gone : terminated) post(kWorkspaceDidTerminateApplication, gone);
    refreshFrontmost(wasActivated);
}

void ToplevelApplications::refreshFrontmost(bool changed) {
    if (!changed) return;
    requested_ = nullptr; // the compositor has answered
    const Toplevel* active = nullptr;
    for (const auto& t : toplevels_)
        if (t.facts.activated && (!active || t.lastActive > active->lastActive)) active = &t;
    auto now = active ? active->app : nullptr;
    if (now == frontmost_) return;
    auto previous = frontmost_;
    frontmost_ = now;
    if (previous) post(kWorkspaceDidDeactivateApplication, previous);
    if (now) post(kWorkspaceDidActivateApplication, now);
}

std::vector<RunningApplicationPtr> ToplevelApplications::applications() const {
    return std::vector<RunningApplicationPtr>(apps_.begin(), apps_.end());
}

RunningApplicationPtr ToplevelApplications::frontmost() const { return requested_ ? requested_ : frontmost_; }

const ToplevelFacts* ToplevelApplications::facts(ToplevelId id) const {
    for (const auto& t : toplevels_)
        if (t.id == id) return &t.facts;
    return nullptr;
}

void ToplevelApplications::post(const char* name, const RunningApplicationPtr& app) {
    center_.post(name, sender_, {{kWorkspaceApplicationKey, app}});
}

} // namespace platform::wayland
