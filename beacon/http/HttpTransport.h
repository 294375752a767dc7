#pragma once

#include "beacon/http/Error.h"
#include "beacon/http/HttpTypes.h"
#include "platform/http/HttpTransport.h"

namespace beacon {

using TransportResult = platform::http::TransportResult;
using HttpTransport = platform::http::HttpTransport;

} // namespace beacon
