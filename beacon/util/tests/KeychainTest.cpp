#include "beacon/util/FallbackKeychainStore.h"
#include "beacon/util/FileKeychainStore.h"
#include "beacon/util/InMemoryKeychainStore.h"
#include "beacon/util/KeychainUtil.h"

#include "LogCapture.h"
#include "ScopedEnv.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

#include <sys/stat.h>

using namespace beacon;

namespace {

unsigned modeOf(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return 0;
    return info.st_mode & 07777;
}

class KeychainUtilTest : public ::testing::Test {
protected:
    void SetUp() override { KeychainUtil::setStore(keychain); }
    void TearDown() override { KeychainUtil::setStore(nullptr); }
    std::shared_ptr<InMemoryKeychainStore> keychain = std::make_shared<InMemoryKeychainStore>();
};

} // namespace

TEST_F(KeychainUtilTest, StoresReplacesReadsAndDeletes) {
    LogCapture log;
    EXPECT_EQ(KeychainUtil::defaultServiceName(), "com.zelvo.Zelvo.Beacon");

    int status = 1;
    EXPECT_EQ(KeychainUtil::stringForKey("k", &status), std::nullopt);
    EXPECT_EQ(status, KeychainStatus::ItemNotFound);
    EXPECT_EQ(log.count("Failed to retrieve item with key='k', service='com.zelvo.Zelvo.Beacon' from keychain. "
                        "OS Status code -25300"),
              1u);

    EXPECT_TRUE(KeychainUtil::storeString("one", "k"));
    EXPECT_TRUE(KeychainUtil::storeString("two", "k")); // a duplicate is replaced
    EXPECT_EQ(keychain->size(), 1u);
    EXPECT_EQ(KeychainUtil::stringForKey("k", &status), "two");
    EXPECT_EQ(status, KeychainStatus::Success);
    EXPECT_EQ(log.count("Stored a string with key='k', service='com.zelvo.Zelvo.Beacon' to keychain."), 2u);

    EXPECT_TRUE(KeychainUtil::storeString("other", "k", "svc"));
    EXPECT_EQ(KeychainUtil::deleteStringForKey("k"), "two");
    EXPECT_EQ(KeychainUtil::deleteStringForKey("k"), std::nullopt);
    EXPECT_EQ(KeychainUtil::stringForKey("k", "svc", nullptr), "other");

    EXPECT_TRUE(KeychainUtil::storeString("a", "x"));
    EXPECT_TRUE(KeychainUtil::clear());
    EXPECT_FALSE(KeychainUtil::clear()); // nothing left to delete
    EXPECT_EQ(keychain->size(), 1u);     // other services are untouched
}

TEST(FileKeychainStore, KeepsItemsPrivateAndSharedBetweenInstances) {
    TempDir dir;
    const auto file = dir.path / "zelvo" / "keychain.json";
    FileKeychainStore first(file);
    EXPECT_EQ(first.add("svc", "acct", "secret"), KeychainStatus::Success);
    EXPECT_EQ(first.add("svc", "acct", "again"), KeychainStatus::DuplicateItem);
    EXPECT_EQ(modeOf(file), 0600u);

    FileKeychainStore second(file);
    std::string value;
    EXPECT_EQ(second.copy("svc", "acct", value), KeychainStatus::Success);
    EXPECT_EQ(value, "secret");
    EXPECT_EQ(second.copy("svc", "other", value), KeychainStatus::ItemNotFound);
    EXPECT_EQ(second.remove("svc", "acct"), KeychainStatus::Success);
    EXPECT_EQ(first.copy("svc", "acct", value), KeychainStatus::ItemNotFound);
    EXPECT_EQ(first.remove("svc", "acct"), KeychainStatus::ItemNotFound);
    EXPECT_EQ(modeOf(file), 0600u);
}

TEST(FileKeychainStore, MovesADamagedFileAsideWithAWarning) {
    TempDir dir;
    LogCapture log;
    const auto file = dir.path / "keychain.json";
    std::ofstream(file) << "{not json";
    FileKeychainStore store(file);
    std::string value;
    EXPECT_EQ(store.copy("svc", "acct", value), KeychainStatus::ItemNotFound);
    EXPECT_EQ(store.add("svc", "acct", "new"), KeychainStatus::Success);

    std::vector<std::filesystem::path> aside;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path))
        if (entry.path().filename().string().rfind("keychain.json.corrupt-", 0) == 0) aside.push_back(entry.path());
    ASSERT_EQ(aside.size(), 1u);
    std::ifstream in(aside[0]);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "{not json");
    EXPECT_EQ(log.count("is damaged; moved aside to "), 1u);
    EXPECT_EQ(store.copy("svc", "acct", value), KeychainStatus::Success);
    EXPECT_EQ(value, "new");
}

TEST(FallbackKeychainStore, KeysWrittenBeforeTheSecretServiceCameUpAreFoundAndMoved) {
    auto secretService = std::make_shared<InMemoryKeychainStore>();
    auto file = std::make_shared<InMemoryKeychainStore>();
    bool up = false;
    FallbackKeychainStore store([&]() -> std::shared_ptr<KeychainStore> { return up ? secretService : nullptr; }, file);
    EXPECT_EQ(store.add("svc", "early", "one"), KeychainStatus::Success);
    EXPECT_EQ(file->size(), 1u);

    up = true;
    EXPECT_EQ(store.add("svc", "early", "again"), KeychainStatus::DuplicateItem);
    std::string value;
    EXPECT_EQ(store.copy("svc", "early", value), KeychainStatus::Success);
    EXPECT_EQ(value, "one");
    EXPECT_EQ(file->size(), 0u); // moved
    EXPECT_EQ(secretService->copy("svc", "early", value), KeychainStatus::Success);
    EXPECT_EQ(value, "one");

    EXPECT_EQ(store.add("svc", "late", "two"), KeychainStatus::Success);
    EXPECT_EQ(secretService->size(), 2u);
    EXPECT_EQ(store.remove("svc", "late"), KeychainStatus::Success);
    EXPECT_EQ(store.remove("svc", "late"), KeychainStatus::ItemNotFound);
}

TEST(KeychainFallback, WithoutSecretServiceUsesThePrivateFileInTheDataFolder) {
    TempDir dir;
    ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", std::nullopt);
    ScopedEnv runtime("XDG_RUNTIME_DIR", std::nullopt);
    ScopedEnv data("XDG_DATA_HOME", dir.path.string());
    KeychainUtil::setStore(nullptr);

    EXPECT_TRUE(KeychainUtil::storeString("value", "key"));
    EXPECT_EQ(modeOf(dir.path / "zelvo" / "keychain.json"), 0600u);
    EXPECT_EQ(KeychainUtil::stringForKey("key"), "value");
    KeychainUtil::setStore(nullptr);
}
