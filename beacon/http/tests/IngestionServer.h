#pragma once

#include "beacon/util/tests/TempDir.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace beacon::test {

// One request as the test server recorded it; `body` is what arrived on the
// wire, `decodedBody` the same inflated when it was sent gzip-encoded.
struct RecordedRequest {
    std::string method;
    std::string path;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    std::string decodedBody;

    std::optional<std::string> header(const std::string& name) const;
};

// Runs beacon/http/tests/ingestion_server.py on a free 127.0.0.1 port with a
// certificate made for this test process, scripts its answers and reads back
// what it received. Stops the server when destroyed.
class IngestionServer {
public:
    struct Options {
        bool tls = true;
    };
    IngestionServer();
    explicit IngestionServer(Options options);
    ~IngestionServer();
    IngestionServer(const IngestionServer&) = delete;
    IngestionServer& operator=(const IngestionServer&) = delete;

    bool running() const { return pid_ > 0; }
    // Starts again on the same port (after stop()).
    void restart();
    void stop();

    // "https://127.0.0.1:PORT" (or http).
    std::string origin() const;
    // The PEM certificate the server presents; trust it to talk to it.
    static std::string caFile();
    // A certificate of another, unrelated authority.
    static std::string otherCAFile();

    // Next answers in order; `fallback` once they are used up.
    void script(const nlohmann::json& responses, const nlohmann::json& fallback = nullptr);

    std::vector<RecordedRequest> requests() const;
    // Waits (polling) until at least `count` requests have arrived.
    bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

private:
    void launch(int port);

    Options options_;
    TempDir dir_;
    pid_t pid_ = -1;
    int port_ = 0;
};

} // namespace beacon::test
