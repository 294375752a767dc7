#pragma once

#include "beacon/util/KeychainStore.h"

#include <memory>

namespace beacon {

// Generic passwords in the desktop's Secret Service (GNOME Keyring, KWallet)
// through libsecret, as items with the attributes "service" and "account".
class SecretServiceKeychainStore : public KeychainStore {
public:
    // A store when a Secret Service answers on the session bus, else null.
    // Without a session bus address nothing is tried, so that no bus gets
    // launched on the side.
    static std::shared_ptr<SecretServiceKeychainStore> connect();

    int add(const std::string& service, const std::string& account, const std::string& value) override;
    int copy(const std::string& service, const std::string& account, std::string& value) override;
    int remove(const std::string& service, const std::string& account) override;
    int removeAll(const std::string& service) override;
};

} // namespace beacon
