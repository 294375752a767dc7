#pragma once

#include "beacon/ingestion/HttpIngestion.h"

#include <string>
#include <vector>

namespace beacon {

// Sends common-schema logs to the Collector endpoint: POST base +
// "/Collector/1.0", one compact JSON log per line, with the transmission
// target tokens as "apikey", the upload time and the tickets of the batch.
class CollectorIngestion : public HttpIngestion {
public:
    static constexpr const char* kApiPath = "/Collector";
    static constexpr const char* kApiVersion = "1.0";
    static constexpr const char* kContentType = "application/x-json-stream; charset=utf-8";
    // Filled with the library version.
    static constexpr const char* kClientVersionFormat = "BCN-Linux-Cpp-no-%s-no";
    static constexpr const char* kApiKeyHeader = "apikey";
    static constexpr const char* kUploadTimeHeader = "Upload-Time";
    static constexpr const char* kTicketsHeader = "Tickets";
    static constexpr const char* kClientVersionHeader = "Client-Version";

    // The patterns that hide tickets in the printed headers and tokens in
    // printed responses.
    static constexpr const char* kTicketValuePattern = ":[^\"]+";
    static constexpr const char* kTokenPropertyPattern = "\"token\"\\s*:\\s*\"[^\"]+\"";
    static constexpr const char* kRedactedTokenTemplate = "\"token\" : \"***\"";

    CollectorIngestion(std::shared_ptr<HttpClientProtocol> httpClient, std::string baseURL);

    using HttpIngestion::sendAsync;
    // Sends under the batch id; an absent or invalid container completes at
    // once with the invalid-container error.
    void sendAsync(std::shared_ptr<LogContainer> data, IngestionCompletionHandler completionHandler) override;

    HttpHeaders getHeadersWithData(const LogContainer& data, const std::optional<std::string>& eTag) const override;
    std::string getPayloadWithData(const LogContainer& data) const override;
    std::string className() const override { return "CollectorIngestion"; }
    std::string obfuscateHeaderValue(const std::string& value, const std::string& key) const override;
    std::string obfuscateResponsePayload(const std::string& payload) const override;
};

} // namespace beacon
