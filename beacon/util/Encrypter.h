#pragma once

#include "beacon/archive/Iso8601.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace beacon {

class BeaconUserDefaults;

// Authenticated encryption of short values (AES-256-CBC with PKCS#7 padding,
// then HMAC-SHA256 over the ciphertext) under one of two keys kept in the
// keychain; the key in use switches yearly. Blob layout:
//   "<key tag>/AES/HmacSHA256/CBC/PKCS7/32" ":" IV(16) MAC(32) ciphertext
// Blobs of the two earlier layouts still decrypt: "<tag>/AES/CBC/PKCS7/32"
// ":" IV ciphertext (no MAC), and bare ciphertext under the first key with a
// zero IV.
class Encrypter {
public:
    using Data = std::vector<std::uint8_t>;
    using Clock = std::function<Date()>;

    static constexpr const char* kKeyTag = "kBcnEncryptionKeyTag";
    static constexpr const char* kAlternateKeyTag = "kBcnEncryptionKeyTagAlternate";
    // Prefixed settings key of "<tag>/<ISO-8601 expiry>".
    static constexpr const char* kMetadataKey = "EncryptionKeyMetadata";
    static constexpr const char* kAlgorithm = "AES/HmacSHA256";
    static constexpr const char* kLegacyAlgorithm = "AES";
    static constexpr std::chrono::seconds kKeyLifetime{31536000}; // 365 days
    static constexpr std::size_t kKeySize = 32;
    static constexpr std::size_t kIvSize = 16;
    static constexpr std::size_t kMacSize = 32;
    static constexpr std::size_t kMacKeySize = 16;

    // Key metadata in the shared prefixed settings, the system clock.
    Encrypter();
    Encrypter(std::shared_ptr<BeaconUserDefaults> defaults, Clock clock);

    // Base64 (no line breaks) of the encrypted UTF-8 bytes.
    std::optional<std::string> encryptString(const std::string& text);
    std::optional<std::string> decryptString(const std::string& base64);
    std::optional<Data> encryptData(const Data& plain);
    // Nothing when the blob is malformed, its MAC does not authenticate or
    // the padding is wrong; each is logged.
    std::optional<Data> decryptData(const Data& blob);

    // The tag of the key to encrypt with, rotating when its year is over.
    std::string getCurrentKeyTag();
    // The key of a tag: from memory, else the keychain, else (when the
    // keychain has no item for it) a new random key saved to the keychain.
    std::optional<Data> getKeyWithKeyTag(const std::string& tag);
    // HKDF-like expansion: blocks HMAC-SHA256(key, previous block || i),
    // concatenated and cut to `outputSize`; nothing for a size below 1.
    static std::optional<Data> getSubkey(const Data& key, int outputSize);
    static std::string getMetadataStringWithKeyTag(const std::string& tag, const std::string& algorithm);

private:
    void rotateToNewKeyTag(const std::string& tag);
    std::optional<Data> generateAndSaveKeyWithTag(const std::string& tag);
    std::optional<Data> keyFromKeychain(const std::string& tag, int* status);
    std::optional<Data>& memoryKey(const std::string& tag);
    static std::optional<Data> generateInitializationVector();
    static std::optional<Data> performCryptoOperation(bool encrypt, const Data& input, const Data& iv, const Data& key);

    std::shared_ptr<BeaconUserDefaults> defaults_;
    Clock clock_;
    std::mutex memoryMutex_;
    std::optional<Data> originalKeyData_;
    std::optional<Data> alternateKeyData_;
};

} // namespace beacon
