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
    // Only a missing route means the network is down.
    for (int osErrno : {ENETUNREACH, ENETDOWN}) {
        EXPECT_TRUE(HttpUtil::isNoInternetConnectionError(transport(CURLE_COULDNT_CONNECT, osErrno))) << osErrno;
        EXPECT_FALSE(HttpUtil::isRecoverableTransportError(transport(CURLE_COULDNT_CONNECT, osErrno))) << osErrno;
    }
    // A server that is down, unknown or drops the exchange is retried.
    for (const auto& error : {transport(CURLE_COULDNT_CONNECT, ECONNREFUSED), transport(CURLE_COULDNT_RESOLVE_HOST),
                              transport(CURLE_GOT_NOTHING), transport(CURLE_RECV_ERROR, ECONNRESET)}) {
        EXPECT_TRUE(HttpUtil::isRecoverableTransportError(error)) << error.code;
        EXPECT_FALSE(HttpUtil::isNoInternetConnectionError(error)) << error.code;
        EXPECT_FALSE(HttpUtil::isSSLConnectionError(error)) << error.code;
    }
    for (long code : {CURLE_SSL_CONNECT_ERROR, CURLE_PEER_FAILED_VERIFICATION}) {
        EXPECT_TRUE(HttpUtil::isSSLConnectionError(transport(code))) << code;
        EXPECT_FALSE(HttpUtil::isNoInternetConnectionError(transport(code))) << code;
        EXPECT_FALSE(HttpUtil::isRecoverableTransportError(transport(code))) << code;
    }
    // A timeout is none of them: the call fails instead of waiting.
    EXPECT_FALSE(HttpUtil::isNoInternetConnectionError(transport(CURLE_OPERATION_TIMEDOUT)));
    EXPECT_FALSE(HttpUtil::isRecoverableTransportError(transport(CURLE_OPERATION_TIMEDOUT)));
    EXPECT_FALSE(HttpUtil::isSSLConnectionError(transport(CURLE_OPERATION_TIMEDOUT)));
    // The same numbers in another domain mean something else.
    EXPECT_FALSE(HttpUtil::isNoInternetConnectionError(Error{beacon::kErrorDomain, CURLE_COULDNT_CONNECT, ""}));
    EXPECT_FALSE(HttpUtil::isSSLConnectionError(Error{beacon::kErrorDomain, CURLE_SSL_CONNECT_ERROR, ""}));
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
