#pragma once

#include "beacon/ingestion/HttpIngestion.h"

#include <optional>
#include <string>

namespace beacon {

// Sends batches to the Beacon log endpoint: POST base + "/logs?api-version=1.0.0"
// with the install id and the app secret as headers and the container's
// JSON as body.
class BeaconIngestion : public HttpIngestion {
public:
    static constexpr const char* kApiPath = "/logs";
    static constexpr const char* kApiVersion = "1.0.0";
    static constexpr const char* kInstallIdHeader = "Install-ID";
    static constexpr const char* kAppSecretHeader = "App-Secret";

    BeaconIngestion(std::shared_ptr<HttpClientProtocol> httpClient, std::string baseURL, std::string installId);

    std::optional<std::string> appSecret() const;
    void setAppSecret(std::optional<std::string> appSecret);

    using HttpIngestion::sendAsync;
    // Sends under the batch id; an absent or invalid container completes at
    // once with the invalid-container error.
    void sendAsync(std::shared_ptr<LogContainer> data, IngestionCompletionHandler completionHandler) override;
    // Only with an app secret.
    bool isReadyToSend() const override;

    HttpHeaders getHeadersWithData(const LogContainer& data, const std::optional<std::string>& eTag) const override;
    std::string getPayloadWithData(const LogContainer& data) const override;
    std::string className() const override { return "BeaconIngestion"; }
    std::string obfuscateHeaderValue(const std::string& value, const std::string& key) const override;

private:
    std::optional<std::string> appSecret_;
};

} // namespace beacon
