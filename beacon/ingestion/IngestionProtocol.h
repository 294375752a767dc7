#pragma once

#include "beacon/http/Error.h"
#include "beacon/http/HttpTypes.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace beacon {

class LogContainer;

// The outcome of one batch: the call id it was sent under, the response and
// its body, or an error.
using IngestionCompletionHandler =
    std::function<void(const std::string& callId, const std::optional<HttpResponse>& response,
                       const std::optional<std::string>& data, const std::optional<Error>& error)>;

// Moves batches of logs to one telemetry endpoint.
class IngestionProtocol {
public:
    virtual ~IngestionProtocol() = default;

    virtual void setEnabled(bool enabled, bool deleteDataOnDisabled) = 0;
    virtual void sendAsync(std::shared_ptr<LogContainer> data, IngestionCompletionHandler completionHandler) = 0;
    virtual void sendAsync(std::shared_ptr<LogContainer> data, const std::optional<std::string>& eTag,
                           IngestionCompletionHandler completionHandler) = 0;
    virtual bool isReadyToSend() const = 0;
    virtual bool isEnabled() const = 0;
};

} // namespace beacon
