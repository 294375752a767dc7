#pragma once

#include "platform/http/HttpTransport.h"

#include <chrono>
#include <memory>
#include <string>

namespace platform::http {

struct CurlTransportOptions {
    // A PEM bundle trusted in addition to the system's CAs (empty: none).
    std::string extraCAFile;
    // A server that does not accept the connection within connectTimeout, or
    // an exchange that has not finished within totalTimeout, fails with a
    // timeout error instead of holding the call forever. Telemetry batches
    // are at most a few hundred kilobytes, so two minutes is generous even on
    // a slow link; thirty seconds covers DNS, TCP and TLS set-up.
    std::chrono::milliseconds connectTimeout{30'000};
    std::chrono::milliseconds totalTimeout{120'000};
    // Parallel connections to one host; further requests wait for one.
    long maxConnectionsPerHost = 4;

    // Defaults with the extra CA file of the current deployment.
    static CurlTransportOptions fromDeployment();
};

// The libcurl transport: one worker thread drives a curl multi handle; every
// request gets its own easy handle. TLS peers and host names are always
// verified. Completions run on the worker thread.
class CurlTransport : public HttpTransport {
public:
    explicit CurlTransport(CurlTransportOptions options = CurlTransportOptions::fromDeployment());
    ~CurlTransport() override;

    void send(HttpRequest request, Completion completion) override;
    void cancelAll() override;

    class Worker;

private:
    std::shared_ptr<Worker> worker_;
};

} // namespace platform::http
