#pragma once

#include "beacon/http/HttpClient.h"
#include "beacon/http/tests/IngestionServer.h"
#include "platform/http/CurlTransport.h"

namespace beacon::test {

// Curl transports that trust `caFile`, by default the test server's certificate.
inline HttpClient::TransportFactory
trustingTransport(std::string caFile = IngestionServer::caFile(),
                  std::chrono::milliseconds totalTimeout = std::chrono::seconds(120)) {
    return [caFile, totalTimeout] {
        platform::http::CurlTransportOptions options;
        options.extraCAFile = caFile;
        options.totalTimeout = totalTimeout;
        return std::make_shared<platform::http::CurlTransport>(options);
    };
}

} // namespace beacon::test
