#pragma once

#include "beacon/util/KeychainStore.h"

#include <functional>
#include <memory>
#include <mutex>

namespace beacon {

// The Secret Service when it answers, the private file store otherwise, and
// both looked up: a desktop whose Secret Service starts after Zelvo (or stops
// for a while) loses no key. The Secret Service is asked again on every
// operation until it answers; from then on new keys go there, and a key
// found only in the file is moved into it.
class FallbackKeychainStore : public KeychainStore {
public:
    // `connectPrimary` gives the Secret Service store, or null while none
    // answers.
    using Connector = std::function<std::shared_ptr<KeychainStore>()>;
    FallbackKeychainStore(Connector connectPrimary, std::shared_ptr<KeychainStore> fallback);

    int add(const std::string& service, const std::string& account, const std::string& value) override;
    int copy(const std::string& service, const std::string& account, std::string& value) override;
    int remove(const std::string& service, const std::string& account) override;
    int removeAll(const std::string& service) override;

private:
    std::shared_ptr<KeychainStore> primary();

    std::mutex mutex_;
    Connector connectPrimary_;
    std::shared_ptr<KeychainStore> primary_;
    std::shared_ptr<KeychainStore> fallback_;
};

} // namespace beacon
