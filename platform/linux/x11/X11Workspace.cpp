#include "platform/linux/x11/X11Workspace.h"

#include "platform/Log.h"
#include "platform/linux/desktop/ProcessLauncher.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <unistd.h>

namespace platform::x11 {

namespace {
// A window of a client on this host (its pid names a process here).
bool isLocal(const WindowFacts& w) {
    if (w.clientMachine.empty()) return true;
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0) return true;
    return w.clientMachine == host;
}
} // namespace

std::unique_ptr<X11Workspace> X11Workspace::connect(const char* display) {
    auto connection = X11Connection::open(display);
    if (!connection) return nullptr;
    return std::make_unique<X11Workspace>(std::move(connection), DesktopEntries());
}

X11Workspace::X11Workspace(std::shared_ptr<X11Connection> connection, DesktopEntries entries)
    : connection_(std::move(connection)), entries_(std::move(entries)) {
    std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection_->connection(), connection_->root(), XCB_CW_EVENT_MASK, &mask);
    // What runs already is the starting state: no notifications for it.
    refreshClientList(false);
    refreshActive(false);
    connection_->flush();
}

std::vector<RunningApplicationPtr> X11Workspace::runningApplications() {
    return std::vector<RunningApplicationPtr>(apps_.begin(), apps_.end());
}

int X11Workspace::fileDescriptor() const { return xcb_get_file_descriptor(connection_->connection()); }

void X11Workspace::processEvents() {
    if (connection_->broken()) {
        if (!warnedBroken_) logWarning("X11 workspace: the connection to the X server is lost");
        warnedBroken_ = true;
        return;
    }
    while (auto* event = xcb_poll_for_event(connection_->connection())) {
        handle(event);
        std::free(event);
    }
    applyChanges();
}

void X11Workspace::processQueuedEvents() {
    while (auto* event = xcb_poll_for_queued_event(connection_->connection())) {
        handle(event);
        std::free(event);
    }
    applyChanges();
}

void X11Workspace::handle(xcb_generic_event_t* event) {
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return;
    auto* notify = reinterpret_cast<xcb_property_notify_event_t*>(event);
    const auto& atoms = connection_->atoms();
    if (notify->window == connection_->root()) {
        if (notify->atom == atoms.netClientList) refreshClientList(true);
        else if (notify->atom == atoms.netActiveWindow) refreshActive(true);
        return;
    }
    // Only what the list shows is read again, once for all the events read
    // together; every other property (the title above all) changes nothing.
    const xcb_atom_t a = notify->atom;
    if (!facts_.count(notify->window)) return;
    if (a == atoms.netWmIcon) {
        if (auto app = applicationFor(notify->window)) app->invalidateIcon();
    } else if (a == atoms.netWmState || a == atoms.netWmWindowType) {
        hintsChanged_.insert(notify->window);
    } else if (a == XCB_ATOM_WM_CLASS || a == atoms.gtkApplicationId || a == atoms.kdeDesktopFile ||
               a == atoms.netWmPid) {
        // Set after the window was mapped (some toolkits name it late).
        identityChanged_.insert(notify->window);
    }
}

void X11Workspace::applyChanges() {
    if (hintsChanged_.empty() && identityChanged_.empty()) return;
    auto& c = *connection_;
    const auto& a = c.atoms();
    std::vector<xcb_window_t> identities(identityChanged_.begin(), identityChanged_.end());
    std::vector<std::pair<xcb_window_t, std::array<xcb_get_property_cookie_t, 2>>> hints;
    for (auto w : hintsChanged_)
        if (!identityChanged_.count(w))
            hints.push_back({w,
                             {c.requestProperty(w, a.netWmWindowType, XCB_ATOM_ATOM, 32),
                              c.requestProperty(w, a.netWmState, XCB_ATOM_ATOM, 32)}});
    hintsChanged_.clear();
    identityChanged_.clear();
    for (auto& fresh : readFacts(identities)) facts_[fresh.window] = std::move(fresh);

    std::vector<std::shared_ptr<X11RunningApplication>> nowRegular;
    for (auto& [w, cookies] : hints) {
        auto types = c.cardinals(cookies[0]);
        auto states = c.cardinals(cookies[1]);
        auto it = facts_.find(w);
        if (it == facts_.end()) continue;
        applyHints(it->second, types, states);
        if (auto app = applicationFor(w)) {
            const bool wasRegular = app->activationPolicy() == ActivationPolicy::Regular;
            app->updateWindow(it->second);
            // A splash screen turned main window, or a window that stopped
            // skipping the taskbar: the application is one to list now.
            if (!wasRegular && app->activationPolicy() == ActivationPolicy::Regular) nowRegular.push_back(app);
        }
    }
    if (!identities.empty()) regroup(true, {identities.begin(), identities.end()});
    for (const auto& app : nowRegular) post(kWorkspaceDidLaunchApplication, app);
}

void X11Workspace::applyHints(WindowFacts& f, const std::vector<std::uint32_t>& types,
                              const std::vector<std::uint32_t>& states) const {
    const auto& a = connection_->atoms();
    f.kind = WindowKind::Normal;
    for (auto t : types) {
        // The first type the hint names that we know decides.
        if (t == a.typeNormal) f.kind = WindowKind::Normal;
        else if (t == a.typeDialog) f.kind = WindowKind::Dialog;
        else if (t == a.typeUtility) f.kind = WindowKind::Utility;
        else if (t == a.typeDock) f.kind = WindowKind::Dock;
        else if (t == a.typeDesktop) f.kind = WindowKind::Desktop;
        else if (t == a.typeToolbar || t == a.typeMenu || t == a.typeSplash || t == a.typeNotification)
            f.kind = WindowKind::Other;
        else continue;
        break;
    }
    f.skipTaskbar = f.hidden = false;
    for (auto s : states) {
        if (s == a.stateSkipTaskbar) f.skipTaskbar = true;
        if (s == a.stateHidden) f.hidden = true;
    }
}

std::vector<WindowFacts> X11Workspace::readFacts(const std::vector<xcb_window_t>& windows) {
    auto& c = *connection_;
    const auto& a = c.atoms();
    struct Cookies {
        xcb_get_property_cookie_t pid, leader, machine, wmClass, gtk, kde, type, state;
    };
    // Ask for everything first, then collect: one round trip for all windows.
    std::vector<Cookies> cookies;
    for (auto w : windows) {
        cookies.push_back({c.requestProperty(w, a.netWmPid, XCB_ATOM_CARDINAL, 1),
                           c.requestProperty(w, a.wmClientLeader, XCB_ATOM_WINDOW, 1),
                           c.requestProperty(w, XCB_ATOM_WM_CLIENT_MACHINE, XCB_GET_PROPERTY_TYPE_ANY, 64),
                           c.requestProperty(w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 256),
                           c.requestProperty(w, a.gtkApplicationId, a.utf8String, 256),
                           c.requestProperty(w, a.kdeDesktopFile, XCB_GET_PROPERTY_TYPE_ANY, 256),
                           c.requestProperty(w, a.netWmWindowType, XCB_ATOM_ATOM, 32),
                           c.requestProperty(w, a.netWmState, XCB_ATOM_ATOM, 32)});
    }
    std::vector<WindowFacts> result;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        WindowFacts f;
        f.window = windows[i];
        auto pid = c.cardinals(cookies[i].pid);
        f.pid = pid.empty() ? 0 : pid_t(pid.front());
        auto leader = c.cardinals(cookies[i].leader);
        f.leader = leader.empty() ? 0 : leader.front();
        f.clientMachine = c.text(cookies[i].machine);
        std::string wmClass = c.text(cookies[i].wmClass);
        auto nul = wmClass.find('\0');
        f.wmInstance = wmClass.substr(0, nul);
        if (nul != std::string::npos) {
            f.wmClass = wmClass.substr(nul + 1);
            if (auto end = f.wmClass.find('\0'); end != std::string::npos) f.wmClass.resize(end);
        }
        f.gtkApplicationId = c.text(cookies[i].gtk);
        f.kdeDesktopFile = c.text(cookies[i].kde);
        auto types = c.cardinals(cookies[i].type);
        applyHints(f, types, c.cardinals(cookies[i].state));
        result.push_back(std::move(f));
    }
    return result;
}

std::shared_ptr<X11RunningApplication> X11Workspace::applicationFor(xcb_window_t window) const {
    for (const auto& app : apps_)
        if (app->owns(window)) return app;
    return nullptr;
}

X11RunningApplication::Identity X11Workspace::identityFor(const WindowGroup& group) {
    const WindowFacts& first = group.windows.front();
    X11RunningApplication::Identity id;
    id.key = group.key;
    id.pid = first.pid;
    std::optional<DesktopEntry> entry;
    for (const auto& w : group.windows)
        if ((entry = entries_.forCandidates(desktopIdCandidates(w), {w.wmClass, w.wmInstance}))) break;
    if (entry) {
        id.bundleIdentifier = entry->id;
        if (!entry->name.empty()) id.name = entry->name;
        if (!entry->icon.empty()) id.iconName = entry->icon;
        id.bundleURL = entry->path.string();
    } else {
        auto candidates = desktopIdCandidates(first);
        if (!candidates.empty()) id.bundleIdentifier = candidates.front();
    }
    if (!id.name && !first.wmClass.empty()) id.name = first.wmClass;
    if (!id.bundleURL && first.pid > 0 && isLocal(first)) {
        std::error_code ec;
        auto exe = std::filesystem::read_symlink("/proc/" + std::to_string(first.pid) + "/exe", ec);
        if (!ec) id.bundleURL = exe.string();
    }
    return id;
}

std::shared_ptr<X11RunningApplication> X11Workspace::makeApplication(X11RunningApplication::Identity identity) {
    auto app = std::make_shared<X11RunningApplication>(connection_, std::move(identity));
    app->setActivationListener([this](X11RunningApplication& activated) {
        for (const auto& candidate : apps_)
            if (candidate.get() == &activated) requestedFrontmost_ = candidate;
    });
    return app;
}

RunningApplicationPtr X11Workspace::frontmostApplication() {
    return requestedFrontmost_ ? requestedFrontmost_ : frontmost_;
}

void X11Workspace::refreshClientList(bool notify) {
    auto& c = *connection_;
    clientList_ = c.cardinals(c.requestProperty(c.root(), c.atoms().netClientList, XCB_ATOM_WINDOW, 65536));

    std::vector<xcb_window_t> fresh;
    for (auto w : clientList_)
        if (!facts_.count(w)) fresh.push_back(w);
    std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    for (auto w : fresh) xcb_change_window_attributes(c.connection(), w, XCB_CW_EVENT_MASK, &mask);
    for (auto& f : readFacts(fresh)) facts_[f.window] = std::move(f);
    for (auto it = facts_.begin(); it != facts_.end();)
        it = std::find(clientList_.begin(), clientList_.end(), it->first) == clientList_.end() ? facts_.erase(it)
                                                                                               : std::next(it);
    regroup(notify);
}

void X11Workspace::regroup(bool notify, const std::set<xcb_window_t>& renamed) {
    std::vector<WindowFacts> clients;
    const pid_t self = getpid();
    for (auto w : clientList_) {
        auto it = facts_.find(w);
        if (it != facts_.end() && !(it->second.pid == self && isLocal(it->second))) clients.push_back(it->second);
    }

    std::vector<std::shared_ptr<X11RunningApplication>> launched, terminated;
    auto groups = groupWindows(clients);
    for (const auto& group : groups) {
        auto existing = std::find_if(apps_.begin(), apps_.end(), [&](const auto& a) { return a->key() == group.key; });
        if (existing != apps_.end()) {
            const bool renamedWindow = std::any_of(group.windows.begin(), group.windows.end(),
                                                   [&](const WindowFacts& w) { return renamed.count(w.window); });
            if (auto identity = renamedWindow ? identityFor(group) : (*existing)->identity();
                identity != (*existing)->identity()) {
                // Named differently now (a class or application id set
                // late): to the list it is another application.
                auto replaced = *existing;
                *existing = makeApplication(std::move(identity));
                (*existing)->setWindows(group.windows);
                if (frontmost_ == replaced) frontmost_ = *existing;
                if (requestedFrontmost_ == replaced) requestedFrontmost_ = *existing;
                terminated.push_back(replaced);
                launched.push_back(*existing);
                continue;
            }
            // A new ordinary window can make a running process a regular
            // application (its first window was a splash screen or a panel).
            const bool wasRegular = (*existing)->activationPolicy() == ActivationPolicy::Regular;
            (*existing)->setWindows(group.windows);
            if (!wasRegular && (*existing)->activationPolicy() == ActivationPolicy::Regular)
                launched.push_back(*existing);
        } else {
            auto app = makeApplication(identityFor(group));
            app->setWindows(group.windows);
            apps_.push_back(app);
            launched.push_back(app);
        }
    }
    for (auto it = apps_.begin(); it != apps_.end();) {
        bool alive = std::any_of(groups.begin(), groups.end(), [&](const auto& g) { return g.key == (*it)->key(); });
        if (alive) {
            ++it;
        } else {
            terminated.push_back(*it);
            it = apps_.erase(it);
        }
    }
    for (const auto& app : terminated) {
        if (frontmost_ == app) frontmost_ = nullptr;
        if (requestedFrontmost_ == app) requestedFrontmost_ = nullptr;
    }
    if (!notify) return;
    for (const auto& app : terminated) post(kWorkspaceDidTerminateApplication, app);
    for (const auto& app : launched) post(kWorkspaceDidLaunchApplication, app);
}

void X11Workspace::refreshActive(bool notify) {
    auto& c = *connection_;
    auto active = c.cardinals(c.requestProperty(c.root(), c.atoms().netActiveWindow, XCB_ATOM_WINDOW, 1));
    requestedFrontmost_ = nullptr; // the window manager has answered
    RunningApplicationPtr now = active.empty() || active.front() == XCB_NONE ? nullptr : applicationFor(active.front());
    if (!now && !active.empty() && active.front() != XCB_NONE && !facts_.count(active.front())) {
        // A window the client list does not show yet: take the list again.
        refreshClientList(notify);
        now = applicationFor(active.front());
    }
    if (now == frontmost_) return;
    RunningApplicationPtr previous = frontmost_;
    frontmost_ = now;
    if (!notify) return;
    if (previous) post(kWorkspaceDidDeactivateApplication, previous);
    if (now) post(kWorkspaceDidActivateApplication, now);
}

void X11Workspace::post(const char* name, const RunningApplicationPtr& app) {
    center_.post(name, this, {{kWorkspaceApplicationKey, app}});
}

std::optional<std::string> X11Workspace::urlForApplication(const std::string& bundleIdentifier) {
    if (auto entry = entries_.find(bundleIdentifier)) return entry->path.string();
    for (const auto& app : apps_)
        if (app->bundleIdentifier() == bundleIdentifier && app->bundleURL()) return app->bundleURL();
    return std::nullopt;
}

void X11Workspace::openApplication(const std::string& url, const OpenConfiguration&, OpenCompletion completion) {
    desktop::openApplication(url, runningApplications(), completion);
}

bool X11Workspace::openURL(const std::string& url) { return desktop::openWithDefaultHandler(url); }

} // namespace platform::x11
