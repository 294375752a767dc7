#include "beacon/http/HttpUtil.h"

#include <cerrno>
#include <curl/curl.h>

namespace beacon {

namespace {
constexpr std::size_t kMaxCharactersDisplayedForSecret = 8;
}

bool HttpUtil::isSuccessStatusCode(long statusCode) { return statusCode >= 200 && statusCode < 300; }

bool HttpUtil::isRecoverableError(long statusCode) {
    return statusCode >= 500 || statusCode == 408 || statusCode == 429 || statusCode == 0;
}

bool HttpUtil::isNoInternetConnectionError(const Error& error) {
    if (error.domain != kTransportErrorDomain) return false;
    if (error.code == CURLE_COULDNT_RESOLVE_HOST || error.code == CURLE_COULDNT_RESOLVE_PROXY) return true;
    return error.code == CURLE_COULDNT_CONNECT && (error.osErrno == ENETUNREACH || error.osErrno == ENETDOWN);
}

bool HttpUtil::isRecoverableTransportError(const Error& error) {
    if (error.domain != kTransportErrorDomain || isNoInternetConnectionError(error)) return false;
    switch (error.code) {
    case CURLE_COULDNT_CONNECT:
    case CURLE_GOT_NOTHING: // the server closed the connection without answering
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM: return true;
    default: return false;
    }
}

bool HttpUtil::isSSLConnectionError(const Error& error) {
    if (error.domain != kTransportErrorDomain) return false;
    switch (error.code) {
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CLIENTCERT: return true;
    default: return false;
    }
}

std::string HttpUtil::hideSecret(const std::string& secret) {
    if (secret.size() <= kMaxCharactersDisplayedForSecret) return std::string(secret.size(), '*');
    const std::size_t hidden = secret.size() - kMaxCharactersDisplayedForSecret;
    return std::string(hidden, '*') + secret.substr(hidden);
}

std::string HttpUtil::hideSecretInString(const std::string& text, const std::string& secret) {
    if (secret.empty()) return text;
    const std::string masked = hideSecret(secret);
    std::string result;
    std::size_t from = 0;
    for (auto at = text.find(secret); at != std::string::npos; at = text.find(secret, from)) {
        result.append(text, from, at - from).append(masked);
        from = at + secret.size();
    }
    return result.append(text, from);
}

} // namespace beacon
