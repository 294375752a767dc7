#include "beacon/util/Encrypter.h"

#include "beacon/util/BeaconUserDefaults.h"
#include "beacon/util/InMemoryKeychainStore.h"
#include "beacon/util/KeychainUtil.h"
#include "beacon/util/TextUtility.h"
#include "platform/Value.h"

#include "LogCapture.h"
#include "ProcessRunner.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace beacon;
using Data = Encrypter::Data;

namespace {

Data bytes(const std::string& text) { return {text.begin(), text.end()}; }

void writeFile(const std::filesystem::path& path, const Data& data) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), data.size());
}

Data readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Data(std::istreambuf_iterator<char>(in), {});
}

// HMAC-SHA256 by the openssl command line tool, as hex.
std::string opensslHmac(const std::string& keyHex, const std::filesystem::path& file) {
    auto result = runCommand("openssl dgst -sha256 -mac HMAC -macopt hexkey:" + keyHex + " '" + file.string() + "'");
    EXPECT_EQ(result.status, 0);
    const auto at = result.output.rfind("= ");
    return at == std::string::npos ? "" : result.output.substr(at + 2, 64);
}

int opensslEnc(const std::string& direction, const std::string& keyHex, const std::string& ivHex,
               const std::filesystem::path& in, const std::filesystem::path& out) {
    return runCommand("openssl enc " + direction + " -aes-256-cbc -K " + keyHex + " -iv " + ivHex + " -in '" +
                      in.string() + "' -out '" + out.string() + "' 2>/dev/null")
        .status;
}

class EncrypterTest : public ::testing::Test {
protected:
    void SetUp() override { KeychainUtil::setStore(keychain); }
    void TearDown() override { KeychainUtil::setStore(nullptr); }

    Encrypter makeEncrypter() {
        return Encrypter(defaults, [this] { return now; });
    }
    std::string metadata() { return *defaults->objectForKey(Encrypter::kMetadataKey)->asString(); }
    Data storedKey(const std::string& tag) { return *platform::base64Decode(*KeychainUtil::stringForKey(tag)); }

    std::shared_ptr<InMemoryKeychainStore> keychain = std::make_shared<InMemoryKeychainStore>();
    std::shared_ptr<platform::UserDefaults> store = std::make_shared<platform::UserDefaults>();
    std::shared_ptr<BeaconUserDefaults> defaults = std::make_shared<BeaconUserDefaults>(store);
    Date now = *dateFromISO8601("2026-03-01T10:00:00.000Z");
    TempDir dir;
};

} // namespace

TEST_F(EncrypterTest, FirstEncryptionUsesTheAlternateKeyForAYear) {
    auto encrypter = makeEncrypter();
    auto blob = encrypter.encryptData(bytes("token-value"));
    ASSERT_TRUE(blob);
    EXPECT_EQ(metadata(), "kBcnEncryptionKeyTagAlternate/2027-03-01T10:00:00.000Z");
    EXPECT_EQ(store->stringForKey("BeaconEncryptionKeyMetadata"), metadata());
    EXPECT_EQ(keychain->size(), 1u);
    EXPECT_EQ(storedKey(Encrypter::kAlternateKeyTag).size(), 32u);

    const std::string header = "kBcnEncryptionKeyTagAlternate/AES/HmacSHA256/CBC/PKCS7/32:";
    ASSERT_GT(blob->size(), header.size() + 16 + 32);
    EXPECT_EQ(std::string(blob->begin(), blob->begin() + header.size()), header);
    EXPECT_EQ((blob->size() - header.size() - 48) % 16, 0u);
    EXPECT_EQ(encrypter.decryptData(*blob), bytes("token-value"));

    // Another encrypter (a later run) reads the same key from the keychain.
    auto later = makeEncrypter();
    EXPECT_EQ(later.decryptData(*blob), bytes("token-value"));
    auto text = later.encryptString("caf\xC3\xA9");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->find('\n'), std::string::npos);
    EXPECT_EQ(encrypter.decryptString(*text), "caf\xC3\xA9");
    EXPECT_EQ(keychain->size(), 1u);
}

TEST_F(EncrypterTest, BlobDecryptsWithTheOpensslToolGivenSubkeyAndIv) {
    auto encrypter = makeEncrypter();
    const std::string plain = "a transmission target token 0123456789";
    auto blob = encrypter.encryptData(bytes(plain));
    ASSERT_TRUE(blob);
    const std::size_t body = std::string("kBcnEncryptionKeyTagAlternate/AES/HmacSHA256/CBC/PKCS7/32:").size();
    const Data iv(blob->begin() + body, blob->begin() + body + 16);
    const Data mac(blob->begin() + body + 16, blob->begin() + body + 48);
    const Data cipher(blob->begin() + body + 48, blob->end());

    // Encryption subkey = HMAC-SHA256(key, 0x00); the MAC key is its first 16 bytes.
    writeFile(dir.path / "zero", Data{0});
    const auto subkey = opensslHmac(hexText(storedKey(Encrypter::kAlternateKeyTag)), dir.path / "zero");
    ASSERT_EQ(subkey.size(), 64u);
    EXPECT_EQ(hexText(*Encrypter::getSubkey(storedKey(Encrypter::kAlternateKeyTag), 32)), subkey);

    writeFile(dir.path / "cipher", cipher);
    EXPECT_EQ(opensslHmac(subkey.substr(0, 32), dir.path / "cipher"), hexText(mac));
    ASSERT_EQ(opensslEnc("-d", subkey, hexText(iv), dir.path / "cipher", dir.path / "plain"), 0);
    EXPECT_EQ(readFile(dir.path / "plain"), bytes(plain));
}

TEST_F(EncrypterTest, RotatesYearlyBetweenTwoKeysAndKeepsOldBlobsReadable) {
    auto encrypter = makeEncrypter();
    auto first = encrypter.encryptString("one");
    ASSERT_TRUE(first);
    const auto alternateKey = storedKey(Encrypter::kAlternateKeyTag);

    now += std::chrono::hours(24 * 365); // the expiry itself still counts as valid
    EXPECT_EQ(encrypter.getCurrentKeyTag(), Encrypter::kAlternateKeyTag);
    EXPECT_EQ(keychain->size(), 1u);

    now += std::chrono::seconds(1);
    auto second = encrypter.encryptString("two");
    ASSERT_TRUE(second);
    EXPECT_EQ(metadata(), "kBcnEncryptionKeyTag/2028-02-29T10:00:01.000Z"); // 365 days, across a leap day
    EXPECT_EQ(keychain->size(), 2u);
    EXPECT_EQ(platform::base64Decode(*second)->at(20), '/'); // "kBcnEncryptionKeyTag/..."
    EXPECT_EQ(encrypter.decryptString(*first), "one");
    EXPECT_EQ(makeEncrypter().decryptString(*second), "two");

    // A year later the first key comes back; no third key is made.
    now += std::chrono::hours(24 * 366);
    EXPECT_EQ(encrypter.getCurrentKeyTag(), Encrypter::kAlternateKeyTag);
    EXPECT_TRUE(encrypter.encryptString("three"));
    EXPECT_EQ(keychain->size(), 2u);
    EXPECT_EQ(storedKey(Encrypter::kAlternateKeyTag), alternateKey);

    // Unreadable metadata starts over with the alternate key.
    defaults->setObject(std::string("garbage"), Encrypter::kMetadataKey);
    EXPECT_EQ(encrypter.getCurrentKeyTag(), Encrypter::kAlternateKeyTag);
    defaults->setObject(std::string("kBcnEncryptionKeyTagAlternate/not a date"), Encrypter::kMetadataKey);
    EXPECT_EQ(encrypter.getCurrentKeyTag(), Encrypter::kKeyTag);
}

TEST_F(EncrypterTest, RefusesAlteredOrTruncatedBlobs) {
    LogCapture log;
    auto encrypter = makeEncrypter();
    auto blob = *encrypter.encryptData(bytes("sixteen byte msg and more"));
    const std::size_t body = std::string("kBcnEncryptionKeyTagAlternate/AES/HmacSHA256/CBC/PKCS7/32:").size();

    for (std::size_t at : {body + 48 + 3, body + 20, blob.size() - 1}) { // ciphertext, MAC, last byte
        auto altered = blob;
        altered[at] ^= 0x01;
        EXPECT_EQ(encrypter.decryptData(altered), std::nullopt) << at;
    }
    EXPECT_EQ(log.count("[Beacon] ERROR: "), 3u);
    EXPECT_EQ(log.count("Could not authenticate MAC value."), 3u);

    EXPECT_EQ(encrypter.decryptData(Data(blob.begin(), blob.begin() + body + 40)), std::nullopt);
    EXPECT_EQ(encrypter.decryptData(Data(blob.begin(), blob.begin() + body)), std::nullopt);
    EXPECT_EQ(encrypter.decryptString("not base64!"), std::nullopt);
    EXPECT_EQ(log.count("Conversion of encrypted string to NSData failed."), 1u);
    EXPECT_EQ(encrypter.decryptData(*encrypter.encryptData({})), Data{});
}

TEST_F(EncrypterTest, ReadsBothEarlierLayouts) {
    auto encrypter = makeEncrypter();
    encrypter.encryptData(bytes("x")); // makes the alternate key
    KeychainUtil::storeString(platform::base64Encode(Data(32, 0x5A)), Encrypter::kKeyTag);
    const auto keyHex = hexText(Data(32, 0x5A));
    const std::string ivHex = "000102030405060708090a0b0c0d0e0f";
    writeFile(dir.path / "plain", bytes("legacy value"));

    // Without a MAC, under the tag's key itself.
    ASSERT_EQ(opensslEnc("-e", keyHex, ivHex, dir.path / "plain", dir.path / "cipher"), 0);
    Data older = bytes("kBcnEncryptionKeyTag/AES/CBC/PKCS7/32:");
    for (int i = 0; i < 16; ++i) older.push_back(static_cast<std::uint8_t>(i));
    const auto cipher = readFile(dir.path / "cipher");
    older.insert(older.end(), cipher.begin(), cipher.end());
    EXPECT_EQ(encrypter.decryptData(older), bytes("legacy value"));

    // Bare ciphertext under the first key with a zero IV, even when it has a ":" byte.
    for (const std::string text : {"oldest value", "oldest value with : colon"}) {
        writeFile(dir.path / "plain", bytes(text));
        ASSERT_EQ(opensslEnc("-e", keyHex, std::string(32, '0'), dir.path / "plain", dir.path / "cipher"), 0);
        EXPECT_EQ(encrypter.decryptData(readFile(dir.path / "cipher")), bytes(text));
    }
    Data withColon = bytes("ab:");
    withColon.resize(32, 0x11); // ":" early in the ciphertext, text before it valid UTF-8
    EXPECT_EQ(encrypter.decryptData(withColon), std::nullopt); // wrong padding, but no crash
}

TEST(EncrypterSubkey, SizesShareTheFirstBlock) {
    const Data key(32, 7);
    auto encryption = Encrypter::getSubkey(key, 32);
    auto mac = Encrypter::getSubkey(key, 16);
    auto longer = Encrypter::getSubkey(key, 80);
    ASSERT_TRUE(encryption && mac && longer);
    EXPECT_EQ(*mac, Data(encryption->begin(), encryption->begin() + 16));
    EXPECT_EQ(longer->size(), 80u);
    EXPECT_EQ(Data(longer->begin(), longer->begin() + 32), *encryption);
    EXPECT_NE(Data(longer->begin() + 32, longer->begin() + 64), *encryption);
    EXPECT_EQ(Encrypter::getSubkey(key, 0), std::nullopt);
}

namespace {
// A keychain that refuses to store while `refuse` is set.
struct RefusingKeychain : InMemoryKeychainStore {
    bool refuse = true;
    int add(const std::string& service, const std::string& account, const std::string& value) override {
        return refuse ? KeychainStatus::InteractionNotAllowed : InMemoryKeychainStore::add(service, account, value);
    }
};
} // namespace

TEST_F(EncrypterTest, AKeyThatCouldNotBeStoredIsNeverUsed) {
    auto refusing = std::make_shared<RefusingKeychain>();
    KeychainUtil::setStore(refusing);
    auto encrypter = makeEncrypter();
    EXPECT_EQ(encrypter.encryptString("token"), std::nullopt);

    // Once the keychain takes keys, what is encrypted can be read by a later run.
    refusing->refuse = false;
    const auto blob = encrypter.encryptString("token");
    ASSERT_TRUE(blob);
    EXPECT_EQ(makeEncrypter().decryptString(*blob), "token");
}
