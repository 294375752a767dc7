#pragma once

#include "platform/http/Error.h"
#include "platform/http/HttpTypes.h"

#include <functional>
#include <optional>
#include <string>

namespace platform::http {

// What one exchange produced: a response with its body, or a transport error
// (connection, DNS, TLS, timeout, cancellation).
struct TransportResult {
    std::optional<HttpResponse> response;
    std::string body;
    std::optional<Error> error;
};

// Moves requests over the network: the session of an HTTP client. The
// completion runs once per request on a thread of the transport's choosing.
class HttpTransport {
public:
    using Completion = std::function<void(TransportResult)>;
    virtual ~HttpTransport() = default;
    virtual void send(HttpRequest request, Completion completion) = 0;
    // Aborts every exchange in flight; their completions still run, with a
    // cancellation error. Later sends are refused the same way.
    virtual void cancelAll() = 0;
};

} // namespace platform::http
