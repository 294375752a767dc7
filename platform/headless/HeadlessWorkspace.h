#pragma once

#include "platform/Workspace.h"

#include <map>
#include <string>
#include <vector>

namespace platform {

class HeadlessWorkspace;

// A scripted application. Tests set its facts directly; activate() and
// unhide() are recorded and, when attached to a workspace and `activatable`,
// make it frontmost.
class HeadlessApplication : public RunningApplication {
public:
    struct Facts {
        pid_t pid = 0;
        std::optional<std::string> bundleIdentifier;
        std::optional<std::string> localizedName;
        std::optional<std::string> bundleURL;
        ActivationPolicy policy = ActivationPolicy::Regular;
        bool finishedLaunching = true;
        bool hidden = false;
        bool activatable = true; // false: activate() does not change the frontmost application
        Icon icon;
        std::uint64_t iconVersion = 0; // bump when changing the icons
        std::optional<std::string> iconName;
        Icon fallbackIcon;
        std::vector<WindowInfo> windows; // most recent first
    };

    explicit HeadlessApplication(Facts facts) : facts_(std::move(facts)) {}

    pid_t processIdentifier() const override { return facts_.pid; }
    std::optional<std::string> bundleIdentifier() const override { return facts_.bundleIdentifier; }
    std::optional<std::string> localizedName() const override { return facts_.localizedName; }
    Icon icon() const override { return facts_.icon; }
    std::uint64_t iconVersion() const override { return facts_.iconVersion; }
    std::optional<std::string> iconName() const override { return facts_.iconName; }
    Icon fallbackIcon() const override { return facts_.fallbackIcon; }
    std::optional<std::string> bundleURL() const override { return facts_.bundleURL; }
    ActivationPolicy activationPolicy() const override { return facts_.policy; }
    bool isFinishedLaunching() const override { return facts_.finishedLaunching; }
    bool isHidden() const override { return facts_.hidden; }
    bool activate(unsigned options) override;
    bool unhide() override;
    std::vector<WindowInfo> windowList() const override { return facts_.windows; }
    // The window goes to the front of the list and the application is
    // activated.
    bool activateWindow(std::uint64_t window) override;
    // The window leaves the list; with the last one the application ends.
    bool closeWindow(std::uint64_t window) override;
    bool minimizeWindow(std::uint64_t window) override;

    Facts& facts() { return facts_; }
    const std::vector<unsigned>& activations() const { return activations_; }
    int unhideCount() const { return unhides_; }
    // "activate 7", "close 7", "minimize 7" in the order asked.
    const std::vector<std::string>& windowRequests() const { return windowRequests_; }

private:
    friend class HeadlessWorkspace;
    Facts facts_;
    std::vector<unsigned> activations_;
    int unhides_ = 0;
    std::vector<std::string> windowRequests_;
    HeadlessWorkspace* workspace_ = nullptr;
};

using HeadlessApplicationPtr = std::shared_ptr<HeadlessApplication>;

// A workspace whose applications and events a test scripts. Each event posts
// the matching notification on the workspace centre, synchronously.
class HeadlessWorkspace : public Workspace {
    friend class HeadlessApplication;

public:
    ~HeadlessWorkspace() override;

    std::vector<RunningApplicationPtr> runningApplications() override;
    RunningApplicationPtr frontmostApplication() override { return frontmost_; }
    NotificationCenter& notificationCenter() override { return center_; }
    std::optional<std::string> urlForApplication(const std::string& bundleIdentifier) override;
    void openApplication(const std::string& url, const OpenConfiguration& configuration,
                         OpenCompletion completion) override;
    bool openURL(const std::string& url) override;

    // Script: a new application (with its notification), its end, activation
    // (the previous frontmost one is deactivated first) and deactivation.
    HeadlessApplicationPtr launch(HeadlessApplication::Facts facts);
    // Adds an application that was running before anyone watched: no notification.
    HeadlessApplicationPtr addExisting(HeadlessApplication::Facts facts);
    void terminate(const HeadlessApplicationPtr& app);
    void activate(const HeadlessApplicationPtr& app);
    void deactivate(const HeadlessApplicationPtr& app);
    void setFrontmost(RunningApplicationPtr app) { frontmost_ = std::move(app); }
    // Posts a notification of `name` with no application in it.
    void postWithoutApplication(const std::string& name);

    // What the program asked of the workspace.
    const std::vector<std::string>& openedApplications() const { return openedApps_; }
    const std::vector<std::string>& openedURLs() const { return openedURLs_; }

private:
    HeadlessApplicationPtr attach(HeadlessApplication::Facts facts);
    void postFor(const char* name, const RunningApplicationPtr& app);

    NotificationCenter center_;
    std::vector<HeadlessApplicationPtr> apps_;
    RunningApplicationPtr frontmost_;
    std::vector<std::string> openedApps_;
    std::vector<std::string> openedURLs_;
};

} // namespace platform
