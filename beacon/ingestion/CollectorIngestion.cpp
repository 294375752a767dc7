#include "beacon/ingestion/CollectorIngestion.h"

#include "beacon/http/HttpUtil.h"
#include "beacon/ingestion/TicketCache.h"
#include "beacon/logger/Logger.h"
#include "beacon/model/CommonSchemaLog.h"
#include "beacon/model/LogContainer.h"
#include "beacon/util/SdkInfo.h"
#include "beacon/util/TextUtility.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace beacon {

namespace {

std::string clientVersion() {
    char text[64];
    std::snprintf(text, sizeof text, CollectorIngestion::kClientVersionFormat, kSdkVersion);
    return text;
}

} // namespace

CollectorIngestion::CollectorIngestion(std::shared_ptr<HttpClientProtocol> httpClient, std::string baseURL)
    : HttpIngestion(std::move(httpClient), std::move(baseURL), std::string(kApiPath) + "/" + kApiVersion,
                    {{"Content-Type", kContentType}, {kClientVersionHeader, clientVersion()}}, {}) {}

void CollectorIngestion::sendAsync(std::shared_ptr<LogContainer> data, IngestionCompletionHandler completionHandler) {
    const auto callId = acceptContainer(data, completionHandler);
    if (!callId) return;
    HttpIngestion::sendAsync(std::move(data), std::nullopt, *callId, std::move(completionHandler));
}

HttpHeaders CollectorIngestion::getHeadersWithData(const LogContainer& data,
                                                   const std::optional<std::string>& eTag) const {
    HttpHeaders headers = HttpIngestion::getHeadersWithData(data, eTag);

    std::vector<std::string> tokens;
    nlohmann::ordered_json tickets = nlohmann::ordered_json::object();
    for (const auto& log : data.logs) {
        if (!log) continue;
        for (const auto& token : log->transmissionTargetTokens())
            if (std::find(tokens.begin(), tokens.end(), token) == tokens.end()) tokens.push_back(token);
        auto csLog = std::dynamic_pointer_cast<CommonSchemaLog>(log);
        if (!csLog || !csLog->ext || !csLog->ext->protocolExt || !csLog->ext->protocolExt->ticketKeys) continue;
        for (const auto& key : *csLog->ext->protocolExt->ticketKeys)
            if (auto ticket = TicketCache::sharedInstance().ticketFor(key)) tickets[key] = *ticket;
    }
    std::string apiKey;
    for (const auto& token : tokens) apiKey += (apiKey.empty() ? "" : ",") + token;
    headers[kApiKeyHeader] = apiKey;

    const auto now = std::chrono::system_clock::now().time_since_epoch();
    headers[kUploadTimeHeader] = std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    if (!tickets.empty()) headers[kTicketsHeader] = tickets.dump();
    return headers;
}

std::string CollectorIngestion::getPayloadWithData(const LogContainer& data) const {
    std::string payload;
    for (const auto& log : data.logs) {
        if (!log) continue;
        auto line = log->serializeLog(false);
        if (!line) return {}; // one log that cannot be encoded spoils the batch
        payload += *line + "\n";
    }
    return payload;
}

std::string CollectorIngestion::obfuscateHeaderValue(const std::string& value, const std::string& key) const {
    if (key == kApiKeyHeader) {
        std::string masked;
        std::size_t from = 0;
        for (;;) {
            const auto comma = value.find(',', from);
            if (from > 0) masked += ",";
            masked +=
                HttpUtil::hideSecret(value.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
            if (comma == std::string::npos) break;
            from = comma + 1;
        }
        return masked;
    }
    if (key == kTicketsHeader) return obfuscateString(value, kTicketValuePattern, ":***").value_or(std::string());
    return value;
}

std::string CollectorIngestion::obfuscateResponsePayload(const std::string& payload) const {
    return obfuscateString(payload, kTokenPropertyPattern, kRedactedTokenTemplate).value_or(std::string());
}

} // namespace beacon
