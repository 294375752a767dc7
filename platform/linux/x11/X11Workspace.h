#pragma once

#include "platform/linux/x11/WindowManagerFacts.h"
#include "platform/Workspace.h"
#include "platform/linux/desktop/DesktopBackend.h"
#include "platform/linux/desktop/DesktopEntries.h"
#include "platform/linux/x11/X11Connection.h"
#include "platform/linux/x11/X11RunningApplication.h"

#include <map>
#include <set>
#include <memory>

namespace platform::x11 {

using desktop::DesktopEntries;
using desktop::DesktopEntry;

// The workspace of an EWMH desktop. Applications are the client windows of
// _NET_CLIENT_LIST grouped by application key; the frontmost one owns
// _NET_ACTIVE_WINDOW. Root-window property changes become the launch,
// termination, activation and deactivation notifications. Zelvo's own
// windows never count. Everything runs on the main thread: the embedder calls
// processEvents() when the connection's descriptor is readable and
// processQueuedEvents() before the event loop sleeps.
class X11Workspace : public Workspace, public desktop::DesktopBackend {
public:
    // Nothing when the display cannot be opened.
    static std::unique_ptr<X11Workspace> connect(const char* display = nullptr);
    X11Workspace(std::shared_ptr<X11Connection> connection, DesktopEntries entries);

    std::vector<RunningApplicationPtr> runningApplications() override;
    // The owner of _NET_ACTIVE_WINDOW; right after an application asked to be
    // activated, that application until the window manager has answered.
    RunningApplicationPtr frontmostApplication() override;
    NotificationCenter& notificationCenter() override { return center_; }
    std::optional<std::string> urlForApplication(const std::string& bundleIdentifier) override;
    // Starts the application of a desktop entry (its Exec line) or an
    // executable path, without a shell.
    void openApplication(const std::string& url, const OpenConfiguration& configuration,
                         OpenCompletion completion) override;
    // Hands the URL to xdg-open.
    bool openURL(const std::string& url) override;

    Workspace& workspace() override { return *this; }
    int fileDescriptor() const override;
    // Reads what the server sent and handles every event.
    void processEvents() override;
    // Handles the events already read (by replies waited for meanwhile).
    void processQueuedEvents() override;
    desktop::ShortcutHostFacts shortcutHostFacts() override { return windowManagerFacts(*connection_); }

private:
    void handle(xcb_generic_event_t* event);
    // Reads what the events handled together asked for, in one round trip.
    void applyChanges();
    void applyHints(WindowFacts& facts, const std::vector<std::uint32_t>& types,
                    const std::vector<std::uint32_t>& states) const;
    void refreshClientList(bool notify);
    // Applications from the client windows' facts: launched, terminated,
    // updated; the identity of those with a window in `renamed` is derived
    // again.
    void regroup(bool notify, const std::set<xcb_window_t>& renamed = {});
    void refreshActive(bool notify);
    std::vector<WindowFacts> readFacts(const std::vector<xcb_window_t>& windows);
    std::shared_ptr<X11RunningApplication> applicationFor(xcb_window_t window) const;
    X11RunningApplication::Identity identityFor(const WindowGroup& group);
    std::shared_ptr<X11RunningApplication> makeApplication(X11RunningApplication::Identity identity);
    void post(const char* name, const RunningApplicationPtr& app);

    std::shared_ptr<X11Connection> connection_;
    DesktopEntries entries_;
    NotificationCenter center_;
    std::vector<xcb_window_t> clientList_;                     // _NET_CLIENT_LIST
    std::map<xcb_window_t, WindowFacts> facts_;                // every client window seen, ours included
    std::set<xcb_window_t> hintsChanged_, identityChanged_;    // windows to read again
    std::vector<std::shared_ptr<X11RunningApplication>> apps_; // in order of appearance
    RunningApplicationPtr frontmost_;
    // Activation is asynchronous on X11: the request goes to the window
    // manager, which changes _NET_ACTIVE_WINDOW a moment later. Until then
    // the requested application counts as frontmost, so that callers that
    // check at once do not take the request for a failure (and start a second
    // copy of the application).
    RunningApplicationPtr requestedFrontmost_;
    bool warnedBroken_ = false;
};

} // namespace platform::x11
