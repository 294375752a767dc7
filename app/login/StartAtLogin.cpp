#include "app/login/StartAtLogin.h"

#include "app/login/XdgAutostart.h"
#include "platform/Log.h"

#include <cstdio>
#include <mutex>

namespace app {

namespace {

struct Globals {
    std::mutex mutex;
    std::shared_ptr<LoginItemService> service;
    std::function<void(const std::string&)> logger;
};

Globals& globals() {
    static Globals g;
    return g;
}

std::shared_ptr<LoginItemService> service() {
    auto& g = globals();
    std::lock_guard lock(g.mutex);
    if (!g.service) g.service = std::make_shared<XdgAutostart>(XdgAutostart::Options{});
    return g.service;
}

void logFailure(const char* verb, const std::string& description) {
    char line[1024];
    std::snprintf(line, sizeof line, "Failed to %s launch at login: %s", verb, description.c_str());
    std::function<void(const std::string&)> logger;
    {
        std::lock_guard lock(globals().mutex);
        logger = globals().logger;
    }
    if (logger) logger(line);
    else platform::logError(line);
}

} // namespace

bool StartAtLogin::enabled() { return service()->isEnabled(); }

void StartAtLogin::setEnabled(bool value) {
    shared().sendWillChange();
    auto registry = service();
    LoginItemResult result;
    if (value) {
        // Registering again refreshes an entry that points at an old copy.
        if (registry->isEnabled()) (void)registry->unregisterItem();
        result = registry->registerItem();
    } else {
        result = registry->unregisterItem();
    }
    if (!result.ok) logFailure(value ? "enable" : "disable", result.description);
}

StartAtLoginObservable& StartAtLogin::shared() {
    static StartAtLoginObservable* instance = new StartAtLoginObservable(); // lives until exit
    return *instance;
}

void StartAtLogin::setService(std::shared_ptr<LoginItemService> service) {
    std::lock_guard lock(globals().mutex);
    globals().service = std::move(service);
}

void StartAtLogin::setLogger(std::function<void(const std::string&)> logger) {
    std::lock_guard lock(globals().mutex);
    globals().logger = std::move(logger);
}

} // namespace app
