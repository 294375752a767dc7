#pragma once

#include "beacon/http/HttpTypes.h"

#include <string>

namespace beacon {

// Observes an HTTP client's requests just before they go out.
class HttpClientDelegate {
public:
    virtual ~HttpClientDelegate() = default;
    virtual void willSendHTTPRequest(const std::string& url, const HttpHeaders& headers) {}
};

} // namespace beacon
