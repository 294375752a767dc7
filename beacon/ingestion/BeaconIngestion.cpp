#include "beacon/ingestion/BeaconIngestion.h"

#include "beacon/http/HttpUtil.h"
#include "beacon/logger/Logger.h"
#include "beacon/model/LogContainer.h"

namespace beacon {

BeaconIngestion::BeaconIngestion(std::shared_ptr<HttpClientProtocol> httpClient, std::string baseURL,
                                 std::string installId)
    : HttpIngestion(std::move(httpClient), std::move(baseURL), kApiPath,
                    {{"Content-Type", "application/json"}, {kInstallIdHeader, std::move(installId)}},
                    {{"api-version", kApiVersion}}) {}

std::optional<std::string> BeaconIngestion::appSecret() const {
    std::lock_guard lock(mutex_);
    return appSecret_;
}

void BeaconIngestion::setAppSecret(std::optional<std::string> appSecret) {
    std::lock_guard lock(mutex_);
    appSecret_ = std::move(appSecret);
}

bool BeaconIngestion::isReadyToSend() const { return appSecret().has_value(); }

void BeaconIngestion::sendAsync(std::shared_ptr<LogContainer> data, IngestionCompletionHandler completionHandler) {
    const auto callId = acceptContainer(data, completionHandler);
    if (!callId) return;
    if (!appSecret()) {
        BEACON_LOG_ERROR("Beacon ingestion is used without app secret.");
        return;
    }
    HttpIngestion::sendAsync(std::move(data), std::nullopt, *callId, std::move(completionHandler));
}

HttpHeaders BeaconIngestion::getHeadersWithData(const LogContainer& data,
                                                const std::optional<std::string>& eTag) const {
    HttpHeaders headers = HttpIngestion::getHeadersWithData(data, eTag);
    if (auto secret = appSecret()) headers[kAppSecretHeader] = *secret;
    return headers;
}

std::string BeaconIngestion::getPayloadWithData(const LogContainer& data) const {
    return data.serializeLog(false).value_or(std::string());
}

std::string BeaconIngestion::obfuscateHeaderValue(const std::string& value, const std::string& key) const {
    return key == kAppSecretHeader ? HttpUtil::hideSecret(value) : value;
}

} // namespace beacon
