#include "app/updates/AppcastUpdateChecker.h"

#include "app/updates/Version.h"
#include "platform/Log.h"

namespace app {

AppcastUpdateChecker::AppcastUpdateChecker(platform::http::HttpTransport& transport, platform::Scheduler& scheduler,
                                           std::string currentVersion, UpdatePresenter& presenter)
    : transport_(transport), scheduler_(scheduler), currentVersion_(std::move(currentVersion)), presenter_(presenter),
      alive_(std::make_shared<AppcastUpdateChecker*>(this)) {}

AppcastUpdateChecker::~AppcastUpdateChecker() = default;

void AppcastUpdateChecker::setFeedURL(const std::string& url) { feedURL_ = url; }

void AppcastUpdateChecker::checkForUpdates() { start(true); }

void AppcastUpdateChecker::checkForUpdatesInBackground() { start(false); }

void AppcastUpdateChecker::start(bool foreground) {
    if (inFlight_) {
        foreground_ = foreground_ || foreground;
        return;
    }
    foreground_ = foreground;
    if (feedURL_.rfind("http://", 0) != 0 && feedURL_.rfind("https://", 0) != 0) {
        fail(feedURL_.empty() ? "No update feed address is configured."
                              : "The update feed address \"" + feedURL_ + "\" is not an http or https address.");
        return;
    }
    inFlight_ = true;
    redirects_ = 0;
    request(feedURL_);
}

void AppcastUpdateChecker::request(const std::string& url) {
    requestURL_ = url;
    std::weak_ptr<AppcastUpdateChecker*> weak = alive_;
    auto& mainQueue = scheduler_.mainQueue();
    transport_.send(
        platform::http::HttpRequest{url, "GET", {{"Accept", "application/rss+xml, application/xml, text/xml"}}, {}},
        [weak, &mainQueue](platform::http::TransportResult result) {
            mainQueue.async([weak, result = std::move(result)]() mutable {
                if (auto self = weak.lock()) (*self)->finish(std::move(result));
            });
        });
}

namespace {

bool isRedirect(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// `location` read against `base`: absolute, or relative to its origin or folder.
std::string resolve(const std::string& base, const std::string& location) {
    if (location.rfind("http://", 0) == 0 || location.rfind("https://", 0) == 0) return location;
    const auto schemeEnd = base.find("://");
    if (schemeEnd == std::string::npos) return location;
    if (location.rfind("//", 0) == 0) return base.substr(0, schemeEnd + 1) + location;
    const auto pathStart = base.find('/', schemeEnd + 3);
    const std::string origin = base.substr(0, pathStart);
    if (!location.empty() && location.front() == '/') return origin + location;
    std::string folder = pathStart == std::string::npos ? origin + "/" : base.substr(0, base.rfind('/') + 1);
    return folder + location;
}

} // namespace

bool AppcastUpdateChecker::followRedirect(const platform::http::TransportResult& result) {
    if (!result.response || !isRedirect(result.response->statusCode)) return false;
    auto location = result.response->header("Location");
    if (!location || location->empty()) return false; // reported as the status it is
    const std::string next = resolve(requestURL_, *location);
    if (requestURL_.rfind("https://", 0) == 0 && next.rfind("https://", 0) != 0) {
        inFlight_ = false;
        fail("The update server redirected to an address that is not secure (" + next + ").");
        return true;
    }
    if (next.rfind("http://", 0) != 0 && next.rfind("https://", 0) != 0) {
        inFlight_ = false;
        fail("The update server redirected to \"" + next + "\", which is not an http or https address.");
        return true;
    }
    if (redirects_ >= kMaxRedirects) {
        inFlight_ = false;
        fail("The update server redirected more than " + std::to_string(kMaxRedirects) + " times.");
        return true;
    }
    ++redirects_;
    request(next);
    return true;
}

void AppcastUpdateChecker::finish(platform::http::TransportResult result) {
    if (!result.error && followRedirect(result)) return;
    inFlight_ = false;
    if (result.error) {
        fail("The update server could not be reached (" + result.error->description + ").");
        return;
    }
    const long status = result.response ? result.response->statusCode : 0;
    if (status != 200) {
        fail("The update server answered with HTTP status " + std::to_string(status) + ".");
        return;
    }
    if (result.body.size() > kMaxFeedBytes) {
        fail("The update feed is larger than " + std::to_string(kMaxFeedBytes / (1024 * 1024)) + " MB.");
        return;
    }
    auto parsed = parseAppcast(result.body);
    if (!parsed.newest) {
        fail(parsed.error);
        return;
    }
    if (compareVersions(parsed.newest->version, currentVersion_) > 0) {
        presenter_.showUpdateAvailable(*parsed.newest, currentVersion_);
    } else if (foreground_) {
        presenter_.showUpToDate(currentVersion_);
    }
}

void AppcastUpdateChecker::fail(const std::string& description) {
    const std::string line = "Update check failed: " + description;
    if (logger_) logger_(line);
    else platform::logWarning(line);
    if (foreground_) presenter_.showCheckFailed(description);
}

} // namespace app
