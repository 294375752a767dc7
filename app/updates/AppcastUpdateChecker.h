#pragma once

#include "app/core/UpdateChecker.h"
#include "app/updates/UpdatePresenter.h"

#include "platform/Scheduler.h"
#include "platform/http/HttpTransport.h"

#include <functional>
#include <memory>
#include <string>

namespace app {

// The software updater: reads the RSS appcast at the feed URL and tells the
// user about a newer release. The download runs on the transport's thread;
// its outcome is handled on the main queue, so the interface never waits
// for the network. A foreground check always answers (up to date, a new
// version, or why it failed); a background check speaks only when it finds
// a newer release, and otherwise just logs failures. Main thread only.
class AppcastUpdateChecker : public UpdateChecker {
public:
    // Largest feed accepted; a release feed is a few kilobytes.
    static constexpr std::size_t kMaxFeedBytes = 4 * 1024 * 1024;
    // Redirects followed before a check gives up; none from https to http.
    static constexpr int kMaxRedirects = 5;

    AppcastUpdateChecker(platform::http::HttpTransport& transport, platform::Scheduler& scheduler,
                         std::string currentVersion, UpdatePresenter& presenter);
    ~AppcastUpdateChecker() override;

    void setFeedURL(const std::string& url) override;
    void checkForUpdates() override;
    void checkForUpdatesInBackground() override;

    const std::string& feedURL() const { return feedURL_; }
    bool isChecking() const { return inFlight_; }

    // Where failure lines go (default: the warning log).
    void setLogger(std::function<void(const std::string&)> logger) { logger_ = std::move(logger); }

private:
    void start(bool foreground);
    void request(const std::string& url);
    void finish(platform::http::TransportResult result);
    // True when the answer was a redirect that is being followed or refused.
    bool followRedirect(const platform::http::TransportResult& result);
    void fail(const std::string& description);

    platform::http::HttpTransport& transport_;
    platform::Scheduler& scheduler_;
    std::string currentVersion_;
    UpdatePresenter& presenter_;
    std::string feedURL_;
    std::function<void(const std::string&)> logger_;
    bool inFlight_ = false;
    std::string requestURL_; // of the request in flight
    int redirects_ = 0;      // followed for the check in flight
    // A foreground request made while a quiet check is under way makes the
    // answer of that check a foreground one.
    bool foreground_ = false;
    std::shared_ptr<AppcastUpdateChecker*> alive_;
};

} // namespace app
