#include "beacon/ingestion/HttpIngestion.h"

#include "beacon/crashes/model/UuidText.h"
#include "beacon/logger/Logger.h"
#include "beacon/model/LogContainer.h"
#include "beacon/util/TextUtility.h"

#include <curl/curl.h>

#include <cctype>
#include <cstdio>
#include <memory>

namespace beacon {

namespace {

// Characters a URL query may hold as they are (the RFC 3986 query set).
bool isQueryAllowed(unsigned char c) {
    if (std::isalnum(c)) return true;
    switch (c) {
    case '-':
    case '.':
    case '_':
    case '~':
    case '!':
    case '$':
    case '&':
    case '\'':
    case '(':
    case ')':
    case '*':
    case '+':
    case ',':
    case ';':
    case '=':
    case ':':
    case '@':
    case '/':
    case '?': return true;
    default: return false;
    }
}

std::string percentEncodeQuery(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (isQueryAllowed(c)) {
            out += static_cast<char>(c);
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", c);
            out += escape;
        }
    }
    return out;
}

struct UrlHandle {
    CURLU* url = curl_url();
    ~UrlHandle() { curl_url_cleanup(url); }
};

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

} // namespace

HttpIngestion::HttpIngestion(std::shared_ptr<HttpClientProtocol> httpClient, std::string baseURL, std::string apiPath,
                             HttpHeaders httpHeaders, QueryStrings queryStrings)
    : httpClient_(std::move(httpClient)), baseURL_(std::move(baseURL)), apiPath_(std::move(apiPath)),
      httpHeaders_(std::move(httpHeaders)), sendURL_(buildURL(baseURL_, apiPath_, queryStrings)) {}

std::string HttpIngestion::buildURL(const std::string& baseURL, const std::string& apiPath,
                                    const QueryStrings& queryStrings) {
    std::string url = baseURL + apiPath;
    if (queryStrings.empty()) return url;
    std::string query;
    for (const auto& [key, value] : queryStrings) {
        if (!query.empty()) query += "&";
        query += key + "=" + value;
    }
    return url + "?" + percentEncodeQuery(query);
}

std::optional<std::string> HttpIngestion::eTagFromResponse(const HttpResponse& response) {
    return response.header("etag");
}

void HttpIngestion::setBaseURL(const std::string& baseURL) {
    std::lock_guard lock(mutex_);
    const std::string previous = sendURL_;
    baseURL_ = baseURL;
    UrlHandle fresh, current;
    const std::string candidate = baseURL + apiPath_;
    if (curl_url_set(fresh.url, CURLUPART_URL, candidate.c_str(), 0) != CURLUE_OK ||
        curl_url_set(current.url, CURLUPART_URL, sendURL_.c_str(), 0) != CURLUE_OK) {
        BEACON_LOG_INFO("Failed to update HTTP URL ", previous, " with ", baseURL);
        return;
    }
    for (CURLUPart part :
         {CURLUPART_SCHEME, CURLUPART_USER, CURLUPART_PASSWORD, CURLUPART_HOST, CURLUPART_PORT, CURLUPART_PATH}) {
        char* value = nullptr;
        if (curl_url_get(fresh.url, part, &value, 0) == CURLUE_OK && value) {
            curl_url_set(current.url, part, value, 0);
            curl_free(value);
        } else {
            curl_url_set(current.url, part, nullptr, 0);
        }
    }
    char* updated = nullptr;
    if (curl_url_get(current.url, CURLUPART_URL, &updated, 0) == CURLUE_OK && updated) {
        sendURL_ = updated;
        curl_free(updated);
    } else {
        BEACON_LOG_INFO("Failed to update HTTP URL ", previous, " with ", baseURL);
    }
}

std::string HttpIngestion::baseURL() const {
    std::lock_guard lock(mutex_);
    return baseURL_;
}

std::string HttpIngestion::sendURL() const {
    std::lock_guard lock(mutex_);
    return sendURL_;
}

std::vector<double> HttpIngestion::callsRetryIntervals() const {
    std::lock_guard lock(mutex_);
    return callsRetryIntervals_;
}

void HttpIngestion::setCallsRetryIntervals(std::vector<double> intervals) {
    std::lock_guard lock(mutex_);
    callsRetryIntervals_ = std::move(intervals);
}

void HttpIngestion::setNetworkRequestsAllowed(std::function<bool()> allowed) {
    std::lock_guard lock(mutex_);
    networkRequestsAllowed_ = std::move(allowed);
}

void HttpIngestion::setEnabled(bool enabled, bool deleteDataOnDisabled) {
    std::lock_guard lock(mutex_);
    enabled_ = enabled;
}

bool HttpIngestion::isEnabled() const {
    std::lock_guard lock(mutex_);
    return enabled_ && (!networkRequestsAllowed_ || networkRequestsAllowed_());
}

std::optional<std::string> HttpIngestion::acceptContainer(const std::shared_ptr<LogContainer>& data,
                                                          const IngestionCompletionHandler& completionHandler) const {
    std::string callId = data && data->batchId ? *data->batchId : std::string();
    if (data && data->isValid()) return callId;
    const Error error = makeError(kInvalidContainerErrorCode);
    BEACON_LOG_ERROR(error.description);
    if (completionHandler) completionHandler(callId, std::nullopt, std::nullopt, error);
    return std::nullopt;
}

void HttpIngestion::sendAsync(std::shared_ptr<LogContainer> data, IngestionCompletionHandler completionHandler) {
    sendAsync(std::move(data), std::nullopt, std::move(completionHandler));
}

void HttpIngestion::sendAsync(std::shared_ptr<LogContainer> data, const std::optional<std::string>& eTag,
                              IngestionCompletionHandler completionHandler) {
    sendAsync(std::move(data), eTag, uuid_text::random(), std::move(completionHandler));
}

void HttpIngestion::sendAsync(std::shared_ptr<LogContainer> data, const std::optional<std::string>& eTag,
                              const std::string& callId, IngestionCompletionHandler completionHandler) {
    std::unique_lock lock(mutex_);
    if (!isEnabled() || !data) {
        lock.unlock();
        if (!data) {
            const Error error = makeError(kInvalidContainerErrorCode);
            BEACON_LOG_ERROR(error.description);
            if (completionHandler) completionHandler(callId, std::nullopt, std::nullopt, error);
            return;
        }
        BEACON_LOG_WARNING(className(), " is disabled.");
        if (completionHandler) completionHandler(callId, std::nullopt, std::nullopt, makeError(kDisabledErrorCode));
        return;
    }
    if (!delegateSet_) {
        if (auto self = weak_from_this(); !self.expired()) {
            httpClient_->setDelegate(std::weak_ptr<HttpClientDelegate>(self.lock()));
            delegateSet_ = true;
        }
    }
    const HttpHeaders headers = getHeadersWithData(*data, eTag);
    const std::string payload = getPayloadWithData(*data);
    if (payload.empty()) {
        // Logs that cannot be encoded are reported, not sent as an empty body.
        lock.unlock();
        const Error error = makeError(kInvalidContainerErrorCode);
        BEACON_LOG_ERROR(error.description);
        if (completionHandler) completionHandler(callId, std::nullopt, std::nullopt, error);
        return;
    }
    const std::string url = sendURL_;
    const auto intervals = callsRetryIntervals_;
    auto client = httpClient_;
    lock.unlock();
    std::weak_ptr<HttpIngestion> weak = weak_from_this();
    client->sendAsync(url, getHttpMethod(), headers, payload, intervals, true,
                      [weak, callId, handler = std::move(completionHandler)](
                          const std::optional<std::string>& body, const std::optional<HttpResponse>& response,
                          const std::optional<Error>& error) {
                          if (auto self = weak.lock()) self->printResponse(response, body, error);
                          if (handler) handler(callId, response, body, error);
                      });
}

HttpHeaders HttpIngestion::getHeadersWithData(const LogContainer&, const std::optional<std::string>&) const {
    return httpHeaders_;
}

void HttpIngestion::willSendHTTPRequest(const std::string& url, const HttpHeaders& headers) {
    if (Logger::currentLogLevel() > LogLevel::Verbose) return;
    BEACON_LOG_VERBOSE("URL: ", url);
    BEACON_LOG_VERBOSE("Headers: ", prettyPrintHeaders(headers));
}

std::string HttpIngestion::prettyPrintHeaders(const HttpHeaders& headers) const {
    std::string text;
    for (const auto& [key, value] : headers) {
        if (!text.empty()) text += ", ";
        text += key + " = " + obfuscateHeaderValue(value, key);
    }
    return text;
}

std::string HttpIngestion::printableResponsePayload(const HttpResponse& response, const std::string& data) const {
    const std::string type = response.header("Content-Type").value_or("");
    if (startsWith(type, "application/json"))
        return prettyPrintJson(std::vector<std::uint8_t>(data.begin(), data.end()));
    if (type.empty() || startsWith(type, "text/") || startsWith(type, "application/")) return data;
    return "<binary>";
}

void HttpIngestion::printResponse(const std::optional<HttpResponse>& response, const std::optional<std::string>& data,
                                  const std::optional<Error>& error) const {
    if (Logger::currentLogLevel() > LogLevel::Verbose) return;
    if (error) {
        BEACON_LOG_DEBUG("HTTP request error with code: ", error->code, ", domain: ", error->domain,
                         ", description: ", error->description);
        return;
    }
    if (!response) return;
    const std::string payload = obfuscateResponsePayload(printableResponsePayload(*response, data.value_or("")));
    BEACON_LOG_VERBOSE("HTTP response received with status code: ", response->statusCode, ", payload:\n", payload);
}

} // namespace beacon
