#pragma once

#include <memory>

namespace platform {
class Scheduler;
}

namespace beacon {

class HttpClientProtocol;
class Storage;

// Where the telemetry core takes its collaborators from. The program (or a
// test) sets them before the telemetry starts; unset ones are made by the
// core: a threaded scheduler, an HTTP client on libcurl and the pending-log
// database in the telemetry storage directory.
class DependencyConfiguration {
public:
    static std::shared_ptr<HttpClientProtocol> httpClient();
    static void setHttpClient(std::shared_ptr<HttpClientProtocol> httpClient);

    // The scheduler must outlive every telemetry object; null restores the
    // built-in one.
    static platform::Scheduler& scheduler();
    static void setScheduler(platform::Scheduler* scheduler);

    static std::shared_ptr<Storage> storage();
    static void setStorage(std::shared_ptr<Storage> storage);
};

} // namespace beacon
