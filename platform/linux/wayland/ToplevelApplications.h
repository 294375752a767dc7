#pragma once

#include "platform/NotificationCenter.h"
#include "platform/Workspace.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform::wayland {

// A toplevel of the compositor's list, named by its handle.
using ToplevelId = std::uintptr_t;

// What the compositor told of one toplevel up to its last `done`.
struct ToplevelFacts {
    std::string title;
    std::string appId;
    bool activated = false;
    bool minimized = false;
};

// Requests on toplevels: the workspace sends them to the compositor, tests
// record them.
class ToplevelRequests {
public:
    virtual ~ToplevelRequests() = default;
    // False when there is no seat to activate with.
    virtual bool activate(ToplevelId toplevel) = 0;
    virtual void unsetMinimized(ToplevelId toplevel) = 0;
    virtual void setMinimized(ToplevelId toplevel) = 0;
    // Asks the toplevel to close, as its close button does.
    virtual void close(ToplevelId toplevel) = 0;
};

// How an application shows: from its desktop entry when there is one.
struct ApplicationIdentity {
    std::optional<std::string> bundleIdentifier;
    std::optional<std::string> name;
    std::optional<std::string> bundleURL;
    std::optional<std::string> iconName;
};

class ToplevelApplications;

// One application of a Wayland session: the toplevels that share an app id
// (a toplevel without one is an application of its own). One object for the
// application's whole life. Main thread only.
class WaylandRunningApplication : public RunningApplication {
public:
    WaylandRunningApplication(ToplevelApplications& owner, std::string key, ApplicationIdentity identity);

    // The compositor names no process.
    pid_t processIdentifier() const override { return 0; }
    std::optional<std::string> bundleIdentifier() const override { return identity_.bundleIdentifier; }
    std::optional<std::string> localizedName() const override { return identity_.name; }
    // No pixels travel with a toplevel: the desktop entry's icon shows.
    Icon icon() const override { return {}; }
    std::optional<std::string> iconName() const override { return identity_.iconName; }
    std::optional<std::string> bundleURL() const override { return identity_.bundleURL; }
    ActivationPolicy activationPolicy() const override { return ActivationPolicy::Regular; }
    bool isFinishedLaunching() const override { return true; }
    // Every toplevel is minimised.
    bool isHidden() const override;
    // Activates the most recently active toplevel, restoring it first when
    // it is minimised. The compositor raises one toplevel per request, so
    // ActivateAllWindows changes nothing.
    bool activate(unsigned options) override;
    bool unhide() override { return activate(0); }
    // The toplevels with their titles, most recently active first.
    std::vector<WindowInfo> windowList() const override;
    bool activateWindow(std::uint64_t window) override;
    bool closeWindow(std::uint64_t window) override;
    bool minimizeWindow(std::uint64_t window) override;

    const std::string& key() const { return key_; }
    // The toplevels, most recently active first.
    std::vector<ToplevelId> toplevels() const;

private:
    friend class ToplevelApplications;
    ToplevelApplications& owner_;
    std::string key_;
    ApplicationIdentity identity_;
};

// Groups the compositor's toplevels into applications by app id and turns
// their changes into the workspace's launch, termination, activation and
// deactivation notifications. Fed by the workspace on each toplevel's `done`
// and `closed`; tests feed it a scripted list. Main thread only.
class ToplevelApplications {
public:
    using Resolver = std::function<ApplicationIdentity(const std::string& appId, const std::string& title)>;

    // Toplevels of `ownAppId` (Zelvo's own windows) are never listed.
    // Notifications are posted on `center` with `sender` as their object.
    ToplevelApplications(NotificationCenter& center, const void* sender, ToplevelRequests& requests, Resolver resolve,
                         std::string ownAppId);

    void update(ToplevelId toplevel, const ToplevelFacts& facts);
    void closed(ToplevelId toplevel);

    // In the order the applications appeared.
    std::vector<RunningApplicationPtr> applications() const;
    // The application of the activated toplevel; right after activate(),
    // the requested one until the compositor reports a change.
    RunningApplicationPtr frontmost() const;
    const ToplevelFacts* facts(ToplevelId toplevel) const;

private:
    friend class WaylandRunningApplication;
    struct Toplevel {
        ToplevelId id = 0;
        ToplevelFacts facts;
        std::uint64_t lastActive = 0; // when it was last activated; 0 never
        std::shared_ptr<WaylandRunningApplication> app;
    };

    bool activate(WaylandRunningApplication& app);
    // Activates one toplevel of `app`, restoring it first when minimised.
    bool activate(WaylandRunningApplication& app, ToplevelId toplevel);
    // The toplevel when it belongs to `app`.
    const ToplevelFacts* factsOf(const WaylandRunningApplication& app, ToplevelId toplevel) const;
    std::vector<const Toplevel*> toplevelsOf(const WaylandRunningApplication& app) const;
    std::shared_ptr<WaylandRunningApplication> applicationFor(const Toplevel& toplevel);
    void detach(Toplevel& toplevel, std::vector<RunningApplicationPtr>& terminated);
    void refreshFrontmost(bool changed);
    void post(const char* name, const RunningApplicationPtr& app);

    NotificationCenter& center_;
    const void* sender_;
    ToplevelRequests& requests_;
    Resolver resolve_;
    std::string ownAppId_;
    std::vector<Toplevel> toplevels_; // in order of appearance
    std::vector<std::shared_ptr<WaylandRunningApplication>> apps_;
    std::shared_ptr<WaylandRunningApplication> frontmost_;
    std::shared_ptr<WaylandRunningApplication> requested_;
    std::uint64_t activations_ = 0;
};

} // namespace platform::wayland
