#include "beacon/util/Encrypter.h"

#include "beacon/logger/Logger.h"
#include "beacon/util/BeaconUserDefaults.h"
#include "beacon/util/KeychainUtil.h"
#include "platform/Value.h"

#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <algorithm>

namespace beacon {

namespace {

// Serialises the key-tag check and rotation, and key creation, process-wide.
std::recursive_mutex& keyMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

bool isKnownTag(const std::string& tag) { return tag == Encrypter::kKeyTag || tag == Encrypter::kAlternateKeyTag; }

bool isValidUtf8(const std::uint8_t* bytes, std::size_t size) {
    std::size_t i = 0;
    while (i < size) {
        const std::uint8_t c = bytes[i];
        std::size_t extra;
        std::uint32_t codePoint;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            codePoint = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            codePoint = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            codePoint = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= size) return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            if ((bytes[i + k] & 0xC0) != 0x80) return false;
            codePoint = (codePoint << 6) | (bytes[i + k] & 0x3F);
        }
        static constexpr std::uint32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
        if (codePoint < kMinimum[extra] || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

std::optional<Encrypter::Data> hmacSha256(const Encrypter::Data& key, const std::uint8_t* data, std::size_t size) {
    Encrypter::Data mac(EVP_MAX_MD_SIZE);
    unsigned length = 0;
    if (!HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), data, size, mac.data(), &length))
        return std::nullopt;
    mac.resize(length);
    return mac;
}

} // namespace

Encrypter::Encrypter() : Encrypter(BeaconUserDefaults::shared(), [] { return std::chrono::system_clock::now(); }) {}

Encrypter::Encrypter(std::shared_ptr<BeaconUserDefaults> defaults, Clock clock)
    : defaults_(std::move(defaults)), clock_(std::move(clock)) {
    if (!defaults_) defaults_ = BeaconUserDefaults::shared();
    if (!clock_) clock_ = [] { return std::chrono::system_clock::now(); };
}

std::optional<std::string> Encrypter::encryptString(const std::string& text) {
    auto blob = encryptData(Data(text.begin(), text.end()));
    if (!blob) return std::nullopt;
    return platform::base64Encode(*blob);
}

std::optional<std::string> Encrypter::decryptString(const std::string& base64) {
    auto blob = platform::base64Decode(base64);
    if (!blob) {
        BEACON_LOG_WARNING("Conversion of encrypted string to NSData failed.");
        return std::nullopt;
    }
    auto plain = decryptData(*blob);
    if (!plain) return std::nullopt;
    if (!isValidUtf8(plain->data(), plain->size())) {
        BEACON_LOG_WARNING("Converting decrypted NSData to NSString failed.");
        return std::nullopt;
    }
    return std::string(plain->begin(), plain->end());
}

std::optional<Encrypter::Data> Encrypter::encryptData(const Data& plain) {
    const auto tag = getCurrentKeyTag();
    const auto key = getKeyWithKeyTag(tag);
    if (!key) return std::nullopt;
    const auto encryptionKey = getSubkey(*key, kKeySize);
    const auto macKey = getSubkey(*key, kMacKeySize);
    const auto iv = generateInitializationVector();
    if (!encryptionKey || !macKey || !iv) return std::nullopt;
    const auto cipher = performCryptoOperation(true, plain, *iv, *encryptionKey);
    if (!cipher) return std::nullopt;
    const auto mac = hmacSha256(*macKey, cipher->data(), cipher->size());
    if (!mac) return std::nullopt;

    const auto metadata = getMetadataStringWithKeyTag(tag, kAlgorithm);
    Data out;
    out.reserve(metadata.size() + 1 + iv->size() + mac->size() + cipher->size());
    out.insert(out.end(), metadata.begin(), metadata.end());
    out.push_back(':');
    out.insert(out.end(), iv->begin(), iv->end());
    out.insert(out.end(), mac->begin(), mac->end());
    out.insert(out.end(), cipher->begin(), cipher->end());
    return out;
}

std::optional<Encrypter::Data> Encrypter::decryptData(const Data& blob) {
    // Metadata is the text before the first ":" when it names one of our key
    // tags; anything else is a blob of the oldest layout (whose ciphertext
    // may well contain a ":" byte).
    std::optional<std::string> metadata;
    std::string tag;
    const auto colon = std::find(blob.begin(), blob.end(), std::uint8_t(':'));
    if (colon != blob.end() && isValidUtf8(blob.data(), static_cast<std::size_t>(colon - blob.begin()))) {
        std::string text(blob.begin(), colon);
        std::string first = text.substr(0, text.find('/'));
        if (isKnownTag(first)) {
            metadata = std::move(text);
            tag = std::move(first);
        }
    }

    if (!metadata) {
        const auto key = getKeyWithKeyTag(kKeyTag);
        if (!key) return std::nullopt;
        return performCryptoOperation(false, blob, Data(kIvSize, 0), *key);
    }

    const auto body = static_cast<std::size_t>(colon - blob.begin()) + 1;
    const auto key = getKeyWithKeyTag(tag);
    if (!key) return std::nullopt;
    if (*metadata == getMetadataStringWithKeyTag(tag, kLegacyAlgorithm)) {
        if (blob.size() < body + kIvSize) {
            BEACON_LOG_ERROR("Error performing encryption or decryption.");
            return std::nullopt;
        }
        Data iv(blob.begin() + body, blob.begin() + body + kIvSize);
        Data cipher(blob.begin() + body + kIvSize, blob.end());
        return performCryptoOperation(false, cipher, iv, *key);
    }

    if (blob.size() < body + kIvSize + kMacSize) {
        BEACON_LOG_ERROR("Error performing encryption or decryption.");
        return std::nullopt;
    }
    const auto encryptionKey = getSubkey(*key, kKeySize);
    const auto macKey = getSubkey(*key, kMacKeySize);
    if (!encryptionKey || !macKey) return std::nullopt;
    Data iv(blob.begin() + body, blob.begin() + body + kIvSize);
    const std::uint8_t* storedMac = blob.data() + body + kIvSize;
    Data cipher(blob.begin() + body + kIvSize + kMacSize, blob.end());
    const auto mac = hmacSha256(*macKey, cipher.data(), cipher.size());
    // An altered blob is refused before its bytes are decrypted.
    if (!mac || mac->size() != kMacSize || CRYPTO_memcmp(mac->data(), storedMac, kMacSize) != 0) {
        BEACON_LOG_ERROR("Could not authenticate MAC value.");
        return std::nullopt;
    }
    return performCryptoOperation(false, cipher, iv, *encryptionKey);
}

std::string Encrypter::getCurrentKeyTag() {
    std::lock_guard lock(keyMutex());
    const auto stored = defaults_->objectForKey(kMetadataKey);
    const std::string* metadata = stored ? stored->asString() : nullptr;
    if (!metadata) {
        rotateToNewKeyTag(kAlternateKeyTag);
        return kAlternateKeyTag;
    }
    const auto slash = metadata->find('/');
    const std::string tag = metadata->substr(0, slash);
    if (!isKnownTag(tag)) {
        rotateToNewKeyTag(kAlternateKeyTag);
        return kAlternateKeyTag;
    }
    if (slash != std::string::npos) {
        const auto expiry = dateFromISO8601(std::string_view(*metadata).substr(slash + 1));
        if (expiry && *expiry >= clock_()) return tag;
    }
    const std::string next = tag == kKeyTag ? kAlternateKeyTag : kKeyTag;
    rotateToNewKeyTag(next);
    return next;
}

void Encrypter::rotateToNewKeyTag(const std::string& tag) {
    const auto expiry = clock_() + std::chrono::duration_cast<Date::duration>(kKeyLifetime);
    defaults_->setObject(tag + "/" + dateToISO8601(expiry), kMetadataKey);
}

std::optional<Encrypter::Data>& Encrypter::memoryKey(const std::string& tag) {
    return tag == kKeyTag ? originalKeyData_ : alternateKeyData_;
}

std::optional<Encrypter::Data> Encrypter::keyFromKeychain(const std::string& tag, int* status) {
    auto text = KeychainUtil::stringForKey(tag, status);
    if (!text) return std::nullopt;
    auto key = platform::base64Decode(*text);
    if (!key || key->empty()) {
        // An unreadable item cannot decrypt anything: it counts as no key.
        BEACON_LOG_ERROR("The encryption key '", tag, "' in the keychain is not valid Base64.");
        if (status) *status = KeychainStatus::ItemNotFound;
        return std::nullopt;
    }
    return key;
}

std::optional<Encrypter::Data> Encrypter::getKeyWithKeyTag(const std::string& tag) {
    {
        std::lock_guard lock(memoryMutex_);
        if (const auto& key = memoryKey(tag)) return key;
    }
    // Keys never change once made, so the one read is kept: the keychain
    // (a D-Bus round trip for the Secret Service) is asked once per tag.
    auto key = keyFromKeychain(tag, nullptr);
    if (!key) {
        std::lock_guard lock(keyMutex());
        int status = KeychainStatus::ItemNotFound;
        key = keyFromKeychain(tag, &status);
        // A new key only when there is none: a keychain that cannot be read
        // (locked, unreachable) may still hold the key of existing blobs.
        if (!key && status == KeychainStatus::ItemNotFound) key = generateAndSaveKeyWithTag(tag);
    }
    if (!key || key->empty()) return std::nullopt;
    std::lock_guard lock(memoryMutex_);
    memoryKey(tag) = key;
    return key;
}

std::optional<Encrypter::Data> Encrypter::generateAndSaveKeyWithTag(const std::string& tag) {
    Data key(kKeySize);
    if (RAND_bytes(key.data(), static_cast<int>(key.size())) != 1) {
        // A key from a failed random source would be guessable: none is made.
        BEACON_LOG_ERROR("Error generating encryption key. Error code: ", static_cast<int>(ERR_get_error()));
        return std::nullopt;
    }
    // A key that is not stored would encrypt data that no later run can read.
    if (!KeychainUtil::storeString(platform::base64Encode(key), tag)) {
        BEACON_LOG_ERROR("Could not store the new encryption key with tag '", tag, "'; it is not used.");
        return std::nullopt;
    }
    return key;
}

std::optional<Encrypter::Data> Encrypter::generateInitializationVector() {
    Data iv(kIvSize);
    if (RAND_bytes(iv.data(), static_cast<int>(iv.size())) != 1) {
        BEACON_LOG_ERROR("Error generating initialization vector. Error code: ", static_cast<int>(ERR_get_error()));
        return std::nullopt;
    }
    return iv;
}

std::optional<Encrypter::Data> Encrypter::getSubkey(const Data& key, int outputSize) {
    if (outputSize < 1) {
        BEACON_LOG_ERROR("Invalid output data length. Output data length must be greater than zero.");
        return std::nullopt;
    }
    const auto size = static_cast<std::size_t>(outputSize);
    const std::size_t rounds = (size + 31) / 32;
    Data out;
    Data previous;
    for (std::size_t i = 0; i < rounds; ++i) {
        Data input = previous;
        input.push_back(static_cast<std::uint8_t>(i));
        auto block = hmacSha256(key, input.data(), input.size());
        if (!block) return std::nullopt;
        out.insert(out.end(), block->begin(), block->end());
        previous = std::move(*block);
    }
    out.resize(size);
    return out;
}

std::string Encrypter::getMetadataStringWithKeyTag(const std::string& tag, const std::string& algorithm) {
    return tag + "/" + algorithm + "/CBC/PKCS7/" + std::to_string(kKeySize);
}

std::optional<Encrypter::Data> Encrypter::performCryptoOperation(bool encrypt, const Data& input, const Data& iv,
                                                                 const Data& key) {
    if (key.size() != kKeySize || iv.size() != kIvSize) {
        BEACON_LOG_ERROR("Error performing encryption or decryption.");
        return std::nullopt;
    }
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    Data out(input.size() + 17);
    int written = 0, final = 0;
    const bool ok =
        context && EVP_CipherInit_ex(context.get(), EVP_aes_256_cbc(), nullptr, key.data(), iv.data(), encrypt) == 1 &&
        EVP_CipherUpdate(context.get(), out.data(), &written, input.data(), static_cast<int>(input.size())) == 1 &&
        EVP_CipherFinal_ex(context.get(), out.data() + written, &final) == 1;
    if (!ok) {
        ERR_clear_error();
        BEACON_LOG_ERROR("Error performing encryption or decryption.");
        return std::nullopt;
    }
    out.resize(static_cast<std::size_t>(written + final));
    return out;
}

} // namespace beacon
