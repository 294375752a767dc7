#pragma once

#include "platform/Workspace.h"
#include "platform/linux/desktop/DesktopBackend.h"
#include "platform/linux/desktop/DesktopEntries.h"
#include "platform/linux/wayland/ToplevelApplications.h"
#include "platform/linux/wayland/WaylandConnection.h"

#include <map>
#include <memory>

struct zwlr_foreign_toplevel_handle_v1;

namespace platform::wayland {

// The workspace of a Wayland session whose compositor offers wlr
// foreign-toplevel management: the toplevels it announces, grouped into
// applications, activated with Zelvo's seat. Main thread only.
class WaylandWorkspace : public Workspace, public desktop::DesktopBackend, private ToplevelRequests {
public:
    // Nothing when no compositor answers or it lacks the toplevel list.
    static std::unique_ptr<WaylandWorkspace> connect(const char* display = nullptr);
    WaylandWorkspace(std::unique_ptr<WaylandConnection> connection, desktop::DesktopEntries entries);
    ~WaylandWorkspace() override;

    std::vector<RunningApplicationPtr> runningApplications() override { return applications_.applications(); }
    RunningApplicationPtr frontmostApplication() override { return applications_.frontmost(); }
    NotificationCenter& notificationCenter() override { return center_; }
    std::optional<std::string> urlForApplication(const std::string& bundleIdentifier) override;
    void openApplication(const std::string& url, const OpenConfiguration& configuration,
                         OpenCompletion completion) override;
    bool openURL(const std::string& url) override;

    // DesktopBackend.
    Workspace& workspace() override { return *this; }
    int fileDescriptor() const override { return connection_->fileDescriptor(); }
    void processEvents() override { connection_->readAndDispatch(); }
    void processQueuedEvents() override { connection_->dispatchPendingAndFlush(); }
    desktop::PanelSurface* panelSurface() override;
    // The compositor, as the variables it sets for its clients tell.
    desktop::ShortcutHostFacts shortcutHostFacts() override;

    WaylandConnection& connection() { return *connection_; }

private:
    friend struct HandleEvents;
    friend struct ManagerAccess;
    struct Handle;
    bool activate(ToplevelId toplevel) override;
    void unsetMinimized(ToplevelId toplevel) override;
    void setMinimized(ToplevelId toplevel) override;
    void close(ToplevelId toplevel) override;
    ApplicationIdentity resolve(const std::string& appId, const std::string& title);
    void added(zwlr_foreign_toplevel_handle_v1* handle);
    void done(Handle& handle);
    void closed(Handle& handle);

    std::unique_ptr<WaylandConnection> connection_;
    desktop::DesktopEntries entries_;
    NotificationCenter center_;
    ToplevelApplications applications_;
    std::map<zwlr_foreign_toplevel_handle_v1*, std::unique_ptr<Handle>> handles_;
    std::unique_ptr<desktop::PanelSurface> panelSurface_;
};

} // namespace platform::wayland
