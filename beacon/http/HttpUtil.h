#pragma once

#include "beacon/http/Error.h"

#include <string>

namespace beacon {

// Status classes and secret masking shared by the client and the ingestions.
class HttpUtil {
public:
    // 200-299.
    static bool isSuccessStatusCode(long statusCode);
    // 0, 408, 429 and every code from 500 up: worth retrying.
    static bool isRecoverableError(long statusCode);
    // The network looks down: no route to the server's network, or no name
    // resolution (what a lost Wi-Fi usually fails first). Such a call is
    // held until the network comes back.
    static bool isNoInternetConnectionError(const Error& error);
    // The server could not be reached or dropped the exchange (refused,
    // empty reply, reset): worth retrying on the call's schedule, like a
    // recoverable status, while the network is up; held while it is down.
    static bool isRecoverableTransportError(const Error& error);
    // The TLS handshake failed or the peer's certificate was not trusted.
    static bool isSSLConnectionError(const Error& error);

    // A secret of 9 or more characters keeps its last 8, every other
    // character becomes "*"; a shorter one is masked completely.
    static std::string hideSecret(const std::string& secret);
    // Every occurrence of `secret` in `text` replaced by hideSecret(secret).
    static std::string hideSecretInString(const std::string& text, const std::string& secret);
};

} // namespace beacon
