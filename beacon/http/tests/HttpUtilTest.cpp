#include "beacon/http/HttpUtil.h"

#include <cerrno>
#include <curl/curl.h>
#include <gtest/gtest.h>

using beacon::Error;
using beacon::HttpUtil;

TEST(HttpUtilTest, StatusClasses) {
    for (long code : {200L, 201L, 204L, 299L}) EXPECT_TRUE(HttpUtil::isSuccessStatusCode(code)) << code;
    for (long code : {0L, 199L, 300L, 401L, 500L}) EXPECT_FALSE(HttpUtil::isSuccessStatusCode(code)) << code;

    for (long code : {0L, 408L, 429L, 500L, 503L, 599L, 600L}) EXPECT_TRUE(HttpUtil::isRecoverableError(code)) << code;
    for (long code : {200L, 301L, 400L, 401L, 403L, 404L, 413L, 499L})
        EXPECT_FALSE(HttpUtil::isRecoverableError(code)) << code;
}

TEST(HttpUtilTest, TransportErrorClasses) {
    const auto transport = [](long code, int osErrno = 0) {
        return Error{beacon::kTransportErrorDomain, code, "", osErrno};
    };
    // No route or no name resolution: the network is down. A server that is
    // down or drops the exchange is retried; a timeout is none of them (the
    // call fails instead of waiting); other domains' numbers mean something else.
    const struct {
        Error error;
        bool offline, recoverable, ssl;
    } cases[] = {
        {transport(CURLE_COULDNT_CONNECT, ENETUNREACH), true, false, false},
        {transport(CURLE_COULDNT_CONNECT, ENETDOWN), true, false, false},
        {transport(CURLE_COULDNT_RESOLVE_HOST), true, false, false},
        {transport(CURLE_COULDNT_RESOLVE_PROXY), true, false, false},
        {transport(CURLE_COULDNT_CONNECT, ECONNREFUSED), false, true, false},
        {transport(CURLE_GOT_NOTHING), false, true, false},
        {transport(CURLE_RECV_ERROR, ECONNRESET), false, true, false},
        {transport(CURLE_SSL_CONNECT_ERROR), false, false, true},
        {transport(CURLE_PEER_FAILED_VERIFICATION), false, false, true},
        {transport(CURLE_OPERATION_TIMEDOUT), false, false, false},
        {Error{beacon::kErrorDomain, CURLE_COULDNT_CONNECT, "", ENETUNREACH}, false, false, false},
        {Error{beacon::kErrorDomain, CURLE_SSL_CONNECT_ERROR, ""}, false, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HttpUtil::isNoInternetConnectionError(c.error), c.offline) << c.error.code;
        EXPECT_EQ(HttpUtil::isRecoverableTransportError(c.error), c.recoverable) << c.error.code;
        EXPECT_EQ(HttpUtil::isSSLConnectionError(c.error), c.ssl) << c.error.code;
    }
}

TEST(HttpUtilTest, HideSecretKeepsTheLastEightCharacters) {
    const std::string secret = "0123abcd-4567-89ef-0123-456789abcdef"; // 36 characters
    EXPECT_EQ(HttpUtil::hideSecret(secret), std::string(28, '*') + "89abcdef");
    EXPECT_EQ(HttpUtil::hideSecret("123456789"), "*23456789");
    EXPECT_EQ(HttpUtil::hideSecret("12345678"), "********");
    EXPECT_EQ(HttpUtil::hideSecret("abc"), "***");
    EXPECT_EQ(HttpUtil::hideSecret(""), "");
}

TEST(HttpUtilTest, HideSecretInStringMasksEveryOccurrence) {
    const std::string secret = "secret-value-1234";
    const std::string masked = HttpUtil::hideSecret(secret);
    EXPECT_EQ(HttpUtil::hideSecretInString("a=" + secret + ", b=" + secret + ".", secret),
              "a=" + masked + ", b=" + masked + ".");
    EXPECT_EQ(HttpUtil::hideSecretInString("nothing here", secret), "nothing here");
    EXPECT_EQ(HttpUtil::hideSecretInString("unchanged", ""), "unchanged");
}
