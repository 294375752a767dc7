#include "beacon/analytics/target/AuthenticationProvider.h"
#include "beacon/ingestion/TicketCache.h"
#include "beacon/util/SecretStrings.h"
#include "beacon/util/tests/LogCapture.h"

#include <gtest/gtest.h>

using namespace beacon;
using namespace std::chrono_literals;

namespace {

// Keeps the completion handlers it is given; the test answers them.
class Signer : public AuthenticationProviderDelegate {
public:
    void acquireToken(AuthenticationProvider&, AcquireTokenCompletionHandler handler) override {
        handlers.push_back(std::move(handler));
    }
    std::vector<AcquireTokenCompletionHandler> handlers;
};

class AuthenticationProviderTest : public ::testing::Test {
protected:
    void TearDown() override { TicketCache::sharedInstance().clearCache(); }
    std::shared_ptr<AuthenticationProvider> make(unsigned type) {
        return std::make_shared<AuthenticationProvider>(type, "key", signer, [this] { return now; });
    }
    std::shared_ptr<Signer> signer = std::make_shared<Signer>();
    Date now = Date{} + 100000h;
};

} // namespace

TEST_F(AuthenticationProviderTest, TicketIsCachedUnderTheKeyHashWithTheTypePrefix) {
    for (auto [type, ticket] : {std::pair{0u, "p:tok"}, std::pair{1u, "d:tok"}, std::pair{7u, ":tok"}}) {
        signer->handlers.clear();
        auto provider = make(type);
        EXPECT_EQ(provider->ticketKeyHash(), sha256("key"));
        provider->acquireTokenAsync();
        provider->acquireTokenAsync(); // pending: not asked again
        ASSERT_EQ(signer->handlers.size(), 1u);
        signer->handlers[0]("tok", now + 1h);
        EXPECT_EQ(TicketCache::sharedInstance().ticketFor(sha256("key")), ticket);
        EXPECT_EQ(provider->expiryDate(), now + 1h);
        signer->handlers[0]("other", now + 2h); // no longer pending: ignored
        EXPECT_EQ(TicketCache::sharedInstance().ticketFor(sha256("key")), ticket);
    }
}

TEST_F(AuthenticationProviderTest, MissingTokenOrDateStoresNothing) {
    LogCapture logs;
    auto provider = make(0);
    provider->acquireTokenAsync();
    signer->handlers.back()(std::nullopt, now + 1h);
    provider->acquireTokenAsync();
    signer->handlers.back()("tok", std::nullopt);
    EXPECT_FALSE(TicketCache::sharedInstance().ticketFor(sha256("key")));
    EXPECT_FALSE(provider->expiryDate());
    EXPECT_EQ(logs.count("Token must not be null"), 1u);
    EXPECT_EQ(logs.count("Date must not be null"), 1u);

    auto orphan = std::make_shared<AuthenticationProvider>(0, "key", nullptr);
    orphan->acquireTokenAsync();
    EXPECT_EQ(logs.count("No completionhandler to acquire token has been set."), 1u);
}

TEST_F(AuthenticationProviderTest, RenewsOnlyWithinTenMinutesOfExpiry) {
    auto provider = make(0);
    provider->checkTokenExpiry(); // no expiry known yet
    EXPECT_TRUE(signer->handlers.empty());
    provider->acquireTokenAsync();
    signer->handlers.back()("tok", now + 11min);
    provider->checkTokenExpiry();
    EXPECT_EQ(signer->handlers.size(), 1u);
    now += 2min; // 9 minutes left
    provider->checkTokenExpiry();
    EXPECT_EQ(signer->handlers.size(), 2u);
}
