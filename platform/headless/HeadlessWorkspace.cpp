#include "platform/headless/HeadlessWorkspace.h"

#include <algorithm>

namespace platform {

bool HeadlessApplication::activate(unsigned options) {
    activations_.push_back(options);
    if (workspace_ && facts_.activatable) {
        for (const auto& app : workspace_->apps_)
            if (app.get() == this) workspace_->activate(app);
    }
    return true;
}

bool HeadlessApplication::unhide() {
    ++unhides_;
    facts_.hidden = false;
    return true;
}

bool HeadlessApplication::activateWindow(std::uint64_t window) {
    auto& windows = facts_.windows;
    auto it = std::find_if(windows.begin(), windows.end(), [&](const WindowInfo& w) { return w.id == window; });
    if (it == windows.end()) return false;
    windowRequests_.push_back("activate " + std::to_string(window));
    it->minimized = false;
    std::rotate(windows.begin(), it, it + 1);
    activate(0);
    return true;
}

bool HeadlessApplication::closeWindow(std::uint64_t window) {
    auto& windows = facts_.windows;
    auto it = std::find_if(windows.begin(), windows.end(), [&](const WindowInfo& w) { return w.id == window; });
    if (it == windows.end()) return false;
    windowRequests_.push_back("close " + std::to_string(window));
    windows.erase(it);
    if (windows.empty() && workspace_) {
        HeadlessApplicationPtr self;
        for (const auto& app : workspace_->apps_)
            if (app.get() == this) self = app;
        if (self) workspace_->terminate(self);
    }
    return true;
}

bool HeadlessApplication::minimizeWindow(std::uint64_t window) {
    for (auto& w : facts_.windows)
        if (w.id == window) {
            windowRequests_.push_back("minimize " + std::to_string(window));
            w.minimized = true;
            return true;
        }
    return false;
}

HeadlessWorkspace::~HeadlessWorkspace() {
    for (auto& app : apps_) app->workspace_ = nullptr;
}

std::vector<RunningApplicationPtr> HeadlessWorkspace::runningApplications() { return {apps_.begin(), apps_.end()}; }

std::optional<std::string> HeadlessWorkspace::urlForApplication(const std::string& bundleIdentifier) {
    for (const auto& app : apps_)
        if (app->facts_.bundleIdentifier == bundleIdentifier && app->facts_.bundleURL) return app->facts_.bundleURL;
    return std::nullopt;
}

void HeadlessWorkspace::openApplication(const std::string& url, const OpenConfiguration&, OpenCompletion completion) {
    openedApps_.push_back(url);
    RunningApplicationPtr found;
    for (const auto& app : apps_)
        if (app->facts_.bundleURL == url) found = app;
    if (completion) completion(found, found ? std::nullopt : std::optional<std::string>("no application at " + url));
}

bool HeadlessWorkspace::openURL(const std::string& url) {
    openedURLs_.push_back(url);
    return true;
}

HeadlessApplicationPtr HeadlessWorkspace::attach(HeadlessApplication::Facts facts) {
    auto app = std::make_shared<HeadlessApplication>(std::move(facts));
    app->workspace_ = this;
    apps_.push_back(app);
    return app;
}

HeadlessApplicationPtr HeadlessWorkspace::launch(HeadlessApplication::Facts facts) {
    auto app = attach(std::move(facts));
    postFor(kWorkspaceDidLaunchApplication, app);
    return app;
}

HeadlessApplicationPtr HeadlessWorkspace::addExisting(HeadlessApplication::Facts facts) {
    return attach(std::move(facts));
}

void HeadlessWorkspace::terminate(const HeadlessApplicationPtr& app) {
    apps_.erase(std::remove(apps_.begin(), apps_.end(), app), apps_.end());
    app->workspace_ = nullptr;
    if (frontmost_ == app) frontmost_.reset();
    postFor(kWorkspaceDidTerminateApplication, app);
}

void HeadlessWorkspace::activate(const HeadlessApplicationPtr& app) {
    if (frontmost_ == app) return;
    if (auto previous = frontmost_) {
        frontmost_.reset();
        postFor(kWorkspaceDidDeactivateApplication, previous);
    }
    frontmost_ = app;
    postFor(kWorkspaceDidActivateApplication, app);
}

void HeadlessWorkspace::deactivate(const HeadlessApplicationPtr& app) {
    if (frontmost_ == app) frontmost_.reset();
    postFor(kWorkspaceDidDeactivateApplication, app);
}

void HeadlessWorkspace::postWithoutApplication(const std::string& name) { center_.post(name); }

void HeadlessWorkspace::postFor(const char* name, const RunningApplicationPtr& app) {
    center_.post(name, nullptr, {{kWorkspaceApplicationKey, app}});
}

} // namespace platform
