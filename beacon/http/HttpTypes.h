#pragma once

#include "platform/http/HttpTypes.h"

namespace beacon {

using HttpHeaders = platform::http::HttpHeaders;
using HttpRequest = platform::http::HttpRequest;
using HttpResponse = platform::http::HttpResponse;

} // namespace beacon
