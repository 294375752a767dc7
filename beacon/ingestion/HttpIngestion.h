#pragma once

#include "beacon/http/HttpClientProtocol.h"
#include "beacon/ingestion/IngestionProtocol.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace beacon {

// The common part of the ingestions: the send URL, fixed headers, the retry
// schedule, enabling, and verbose request/response diagnostics with secrets
// hidden. Subclasses give the headers and the body of a batch.
class HttpIngestion : public IngestionProtocol,
                      public HttpClientDelegate,
                      public std::enable_shared_from_this<HttpIngestion> {
public:
    using QueryStrings = std::vector<std::pair<std::string, std::string>>;

    static constexpr long kDefaultMaxNumberOfConnections = 4;

    HttpIngestion(std::shared_ptr<HttpClientProtocol> httpClient, std::string baseURL, std::string apiPath,
                  HttpHeaders httpHeaders, QueryStrings queryStrings);

    // "%@%@" of base and path, then "?" and the pairs as key=value joined
    // by "&", percent-encoded for a URL query.
    static std::string buildURL(const std::string& baseURL, const std::string& apiPath,
                                const QueryStrings& queryStrings);
    // The value of the response header named "etag" in any case.
    static std::optional<std::string> eTagFromResponse(const HttpResponse& response);

    // Moves the send URL to a new origin, keeping its query.
    void setBaseURL(const std::string& baseURL);
    std::string baseURL() const;
    std::string sendURL() const;
    const std::string& apiPath() const { return apiPath_; }
    const HttpHeaders& httpHeaders() const { return httpHeaders_; }
    std::shared_ptr<HttpClientProtocol> httpClient() const { return httpClient_; }

    std::vector<double> callsRetryIntervals() const;
    void setCallsRetryIntervals(std::vector<double> intervals);

    // Whether the user allows network requests at all (a telemetry
    // setting); the ingestion counts as enabled only while it answers true.
    void setNetworkRequestsAllowed(std::function<bool()> allowed);

    // IngestionProtocol
    void setEnabled(bool enabled, bool deleteDataOnDisabled) override;
    void sendAsync(std::shared_ptr<LogContainer> data, IngestionCompletionHandler completionHandler) override;
    void sendAsync(std::shared_ptr<LogContainer> data, const std::optional<std::string>& eTag,
                   IngestionCompletionHandler completionHandler) override;
    bool isReadyToSend() const override { return true; }
    bool isEnabled() const override;

    // Sends the batch under `callId` through the client.
    virtual void sendAsync(std::shared_ptr<LogContainer> data, const std::optional<std::string>& eTag,
                           const std::string& callId, IngestionCompletionHandler completionHandler);

    virtual HttpHeaders getHeadersWithData(const LogContainer& data, const std::optional<std::string>& eTag) const;
    virtual std::string getPayloadWithData(const LogContainer& data) const = 0;
    virtual std::string getHttpMethod() const { return "POST"; }
    // The class name used in diagnostics.
    virtual std::string className() const = 0;

    // HttpClientDelegate: prints the URL and the headers, secrets hidden.
    void willSendHTTPRequest(const std::string& url, const HttpHeaders& headers) override;

    // "%@ = %@" items joined by ", ", each value through
    // obfuscateHeaderValue.
    std::string prettyPrintHeaders(const HttpHeaders& headers) const;
    virtual std::string obfuscateHeaderValue(const std::string& value, const std::string& key) const { return value; }
    virtual std::string obfuscateResponsePayload(const std::string& payload) const { return payload; }
    // The body as printed after a response: pretty JSON, text or "<binary>".
    std::string printableResponsePayload(const HttpResponse& response, const std::string& data) const;

protected:
    // The call id of a batch that may be sent (its batch id, or empty). For
    // a missing or invalid batch: nothing, after the completion handler got
    // the invalid-container error.
    std::optional<std::string> acceptContainer(const std::shared_ptr<LogContainer>& data,
                                               const IngestionCompletionHandler& completionHandler) const;

    mutable std::recursive_mutex mutex_;

private:
    void printResponse(const std::optional<HttpResponse>& response, const std::optional<std::string>& data,
                       const std::optional<Error>& error) const;

    std::shared_ptr<HttpClientProtocol> httpClient_;
    std::string baseURL_;
    const std::string apiPath_;
    const HttpHeaders httpHeaders_;
    std::string sendURL_;
    std::vector<double> callsRetryIntervals_ = kDefaultRetryIntervals;
    std::function<bool()> networkRequestsAllowed_;
    bool enabled_ = true;
    bool delegateSet_ = false;
};

} // namespace beacon
