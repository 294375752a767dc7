#include "beacon/util/SecretStrings.h"

#include "ProcessRunner.h"

#include <gtest/gtest.h>

using namespace beacon;

TEST(SecretStrings, SplitsAppSecretAndTargetToken) {
    const std::string both = "appsecret=secret-1;target=token-key-1";
    EXPECT_EQ(appSecretFrom(both), "secret-1");
    EXPECT_EQ(transmissionTargetTokenFrom(both), "token-key-1");

    EXPECT_EQ(appSecretFrom("secret-2"), "secret-2");
    EXPECT_EQ(appSecretFrom(";;secret-3;"), "secret-3");
    EXPECT_EQ(appSecretFrom("target=abc"), std::nullopt);
    EXPECT_EQ(appSecretFrom(""), std::nullopt);
    EXPECT_EQ(appSecretFrom("appsecret=;target=t"), std::nullopt);
    EXPECT_EQ(transmissionTargetTokenFrom("secret"), std::nullopt);
    EXPECT_EQ(transmissionTargetTokenFrom("target=;target=second"), "second");
}

TEST(SecretStrings, PlatformKeyedComponentWins) {
    EXPECT_EQ(appSecretFrom("ios=ios-secret;linux=linux-secret;android=a"), "linux-secret");
    EXPECT_EQ(appSecretFrom("appsecret=generic;linux=mine;target=t"), "mine");
    EXPECT_EQ(appSecretFrom("linux=;ios=x"), std::nullopt);
}

TEST(SecretStrings, TargetKeyAndInstrumentationKey) {
    EXPECT_EQ(targetKeyFromTargetToken("abc123-def-456"), "abc123");
    EXPECT_EQ(targetKeyFromTargetToken("nodash"), "nodash");
    EXPECT_EQ(targetKeyFromTargetToken("-leading"), std::nullopt);
    EXPECT_EQ(targetKeyFromTargetToken(""), std::nullopt);
    EXPECT_EQ(iKeyFromTargetToken("abc123-def-456"), "o:abc123");
    EXPECT_EQ(iKeyFromTargetToken("-x"), std::nullopt);
}

TEST(SecretStrings, Sha256MatchesTheSystemTool) {
    for (std::string text : {"", "hello", "appsecret=x;target=y", "caf\xC3\xA9"}) {
        auto tool = runCommand("printf '%s' '" + text + "' | sha256sum");
        ASSERT_EQ(tool.status, 0);
        EXPECT_EQ(sha256(text), tool.output.substr(0, 64)) << text;
    }
    EXPECT_EQ(sha256(std::string("ab\0cd", 5)), sha256("ab"));
}
