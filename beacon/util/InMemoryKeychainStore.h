#pragma once

#include "beacon/util/KeychainStore.h"

#include <map>
#include <mutex>
#include <utility>

namespace beacon {

// A keychain that lives only as long as the object: for tests.
class InMemoryKeychainStore : public KeychainStore {
public:
    int add(const std::string& service, const std::string& account, const std::string& value) override;
    int copy(const std::string& service, const std::string& account, std::string& value) override;
    int remove(const std::string& service, const std::string& account) override;
    int removeAll(const std::string& service) override;
    std::size_t size() const;

private:
    mutable std::mutex mutex_;
    std::map<std::pair<std::string, std::string>, std::string> items_;
};

} // namespace beacon
