#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform::http {

// Request headers by name. Names are compared as given; callers use one
// spelling per header.
using HttpHeaders = std::map<std::string, std::string>;

struct HttpRequest {
    std::string url;
    std::string method;
    HttpHeaders headers;
    std::string body; // bytes, possibly gzip data
};

struct HttpResponse {
    long statusCode = 0;
    // In arrival order, names as the server sent them.
    std::vector<std::pair<std::string, std::string>> headers;

    // The first header whose name equals `name` ignoring case.
    std::optional<std::string> header(const std::string& name) const;
};

} // namespace platform::http
